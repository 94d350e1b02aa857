#include "diag/message_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

bool IsFallback(const char* name) { return std::strncmp(name, "UNKNOWN MESSAGE, id ", 20) == 0; }

TEST(WindowMessageName, NamedNumbers) {
    struct Case {
        uint32_t message;
        const char* name;
    };
    const Case cases[] = {
        {0x0000, "WM_NULL"},
        {0x0010, "WM_CLOSE"},
        {0x000e, "WM_GETTEXTLENGHT"},
        {0x0028, "WM_NEWCTDLGCTL"},
        {0x0218, "WM_POWERBRAODCAST"},
        {0x0100, "WM_KEYFIRST/WM_KEYDOWN"},
        {0x010f, "WM_IME_COMPOSITION/WM_IME_KEYLAST"},
        {0x0200, "WM_MOUSEFIRST/WM_MOUSEMOVE"},
        {0x0108, "WM_KEYLAST"},
        {0x004A, "WM_COPYDATA"},
        {0x004B, "WM_CANCELJOURNAL"},
        {0x00a9, "WM_NCMBUTTONDBLCLK"},
        {0x0138, "WM_CTLCOLORSTATIC"},
        {0x0291, "WM_IME_KEYUP"},
        {0x0358, "WM_HANDHELDFIRST"},
        {0x035f, "WM_HANDHELDLAST"},
        {0x0360, "WM_AFXFIRST"},
        {0x037f, "WM_AFXLAST"},
        {0x0380, "WM_PENWINFIRST"},
        {0x038f, "WM_PENWINLAST"},
        {0x8000, "WM_APP"},
    };
    for (const Case& c : cases) EXPECT_STREQ(WindowMessageName(c.message), c.name) << std::hex << c.message;
}

TEST(WindowMessageName, FallbackTextAsWsprintfFormatsIt) {
    struct Case {
        uint32_t message;
        const char* text;
    };
    const Case cases[] = {
        {0x0004, "UNKNOWN MESSAGE, id 0x04"},     {0x0400, "UNKNOWN MESSAGE, id 0x400"},
        {0x020A, "UNKNOWN MESSAGE, id 0x20a"},    {0x0017, "UNKNOWN MESSAGE, id 0x17"},
        {0x8001, "UNKNOWN MESSAGE, id 0x8001"},   {0xFFFFFFFF, "UNKNOWN MESSAGE, id 0xffffffff"},
        {0x10000, "UNKNOWN MESSAGE, id 0x10000"}, {0x0001000F, "UNKNOWN MESSAGE, id 0x1000f"},
    };
    for (const Case& c : cases) {
        const char* name = WindowMessageName(c.message);
        EXPECT_STREQ(name, c.text);
        EXPECT_EQ(name, MessageTextBuffer());  // the shared buffer, overwritten each time
    }
    char small[24];
    FormatUnknownMessage(0x400, small, sizeof small);
    EXPECT_STREQ(small, "UNKNOWN MESSAGE, id 0x4");  // cut to the buffer, still terminated
}

// Exactly 186 numbers have names, all below 0x0390 apart from 0x8000.
TEST(WindowMessageName, TableHas186DistinctNames) {
    std::set<std::string> names;
    int named = 0;
    for (uint32_t message = 0; message <= 0x10000; ++message) {
        const char* name = WindowMessageName(message);
        if (IsFallback(name)) continue;
        ++named;
        names.insert(name);
        EXPECT_EQ(std::strncmp(name, "WM_", 3), 0) << name;
        EXPECT_TRUE(message < 0x0390 || message == 0x8000) << std::hex << message;
    }
    EXPECT_EQ(named, 186);
    EXPECT_EQ(names.size(), 186u);
    for (uint32_t message : {0x00018000u, 0x80000000u, 0x00010010u})
        EXPECT_TRUE(IsFallback(WindowMessageName(message)));
}

}  // namespace
