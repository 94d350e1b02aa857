#include "support/fixed_string.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

std::string Repeat(char c, int n) { return std::string(static_cast<size_t>(n), c); }

// A string of exactly n characters, built through the first-n constructor (which is the
// only way past 254).
FixedString OfLength(int n, char c = 'a') { return FixedString(Repeat(c, n).c_str(), n); }

TEST(FixedStringCapacity, ConstructionAndAssignmentKeep254) {
    const std::string long300 = Repeat('x', 300);
    EXPECT_EQ(FixedString(long300.c_str()).Length(), 254);
    EXPECT_EQ(FixedString(Repeat('x', 254).c_str()).Length(), 254);
    FixedString s;
    s = long300.c_str();
    EXPECT_EQ(s.Length(), 254);
    EXPECT_EQ(std::string(s.Text()), Repeat('x', 254));
    s.Assign("short");
    EXPECT_STREQ(s.Text(), "short");
    EXPECT_EQ(FixedString(static_cast<const char*>(nullptr)).Length(), 0);
}

TEST(FixedStringCapacity, FirstNFormsAccept255) {
    const std::string long300 = Repeat('y', 300);
    struct Case {
        int n;
        int expected;
    };
    for (const Case& c :
         {Case{255, 255}, Case{256, 255}, Case{1000, 255}, Case{254, 254}, Case{3, 3}, Case{0, 0}, Case{-5, 0}}) {
        EXPECT_EQ(FixedString(long300.c_str(), c.n).Length(), c.expected) << c.n;
        const FixedString source(long300.c_str());  // 254 characters
        EXPECT_EQ(FixedString(source, c.n).Length(), c.expected > 254 ? 254 : c.expected) << c.n;
    }
    EXPECT_STREQ(FixedString("abc", 10).Text(), "abc");
    // A 255-character string copies whole.
    const FixedString full = OfLength(255);
    EXPECT_EQ(FixedString(full).Length(), 255);
    FixedString assigned;
    assigned = full;
    EXPECT_EQ(assigned.Length(), 255);
}

TEST(FixedStringCapacity, FromBytesCopiesUpTo254RawBytes) {
    const std::string bytes = Repeat('z', 300);
    EXPECT_EQ(FixedString::FromBytes(bytes.data(), 300).Length(), 254);
    const char raw[] = {'a', 'b', 'c', 'd'};  // no terminator
    EXPECT_STREQ(FixedString::FromBytes(raw, 3).Text(), "abc");
    const char withZero[] = {'a', '\0', 'b'};
    const FixedString s = FixedString::FromBytes(withZero, 3);
    EXPECT_EQ(s.Length(), 1);
    EXPECT_EQ(s.CharAt(2), 'b');
}

TEST(FixedStringCapacity, AppendTextRules) {
    struct Case {
        int length;
        int appended;
        int expected;
    };
    const Case cases[] = {
        {254, 3, 254},   // full: unchanged
        {250, 10, 254},  // only the first 4 characters fit
        {255, 1, 255},   // beyond the append limit: unchanged
        {0, 300, 254},  {10, 5, 15}, {253, 1, 254}, {253, 2, 254},
    };
    for (const Case& c : cases) {
        FixedString s = OfLength(c.length, 'a');
        s.Append(Repeat('b', c.appended).c_str());
        EXPECT_EQ(s.Length(), c.expected) << c.length << "+" << c.appended;
        EXPECT_EQ(std::string(s.Text()).substr(0, static_cast<size_t>(c.length)), Repeat('a', c.length));
    }
    FixedString s = OfLength(250);
    s.Append("0123456789");
    EXPECT_EQ(std::string(s.Text()).substr(250), "0123");
    s = "abc";
    s.Append(static_cast<const char*>(nullptr));
    EXPECT_STREQ(s.Text(), "abc");
    s += FixedString("def");
    s += "g";
    s.Append('h');
    EXPECT_STREQ(s.Text(), "abcdefgh");
    s.Append(s);
    EXPECT_STREQ(s.Text(), "abcdefghabcdefgh");
}

TEST(FixedStringCapacity, NumbersAreAppendedWholeOrNotAtAll) {
    FixedString s("n=");
    s.AppendNumber(int32_t{-2147483647 - 1});
    EXPECT_STREQ(s.Text(), "n=-2147483648");
    s = "u=";
    s += uint32_t{4294967295u};
    EXPECT_STREQ(s.Text(), "u=4294967295");

    FixedString exact = OfLength(248);
    exact.AppendNumber(int32_t{-12345});  // 6 characters: 254 exactly
    EXPECT_EQ(exact.Length(), 254);
    EXPECT_STREQ(exact.LastChars(6), "-12345");

    for (int length : {249, 254, 255}) {
        FixedString tooLong = OfLength(length);
        tooLong.AppendNumber(int32_t{-12345});
        tooLong.AppendNumber(uint32_t{123456});
        EXPECT_EQ(tooLong.Length(), length);
        EXPECT_EQ(tooLong.CharAt(length), '\0');
    }
}

TEST(FixedStringCapacity, ConcatenationReturnsANewStringWithinCapacity) {
    const FixedString base("frame ");
    EXPECT_STREQ((base + int32_t{-7}).Text(), "frame -7");
    EXPECT_STREQ((base + uint32_t{7}).Text(), "frame 7");
    EXPECT_STREQ((base + 2.5).Text(), "frame 2.5");
    EXPECT_STREQ((base + "x").Text(), "frame x");
    EXPECT_STREQ((base + FixedString("y")).Text(), "frame y");
    EXPECT_STREQ(base.Text(), "frame ");

    // Numbers and texts go through the append rules above; a double is appended whole or not at all.
    EXPECT_EQ((OfLength(252) + 1.25).Length(), 252);
    EXPECT_EQ((OfLength(251) + 2.5).Length(), 254);
}

TEST(FixedStringText, TextOrNullAndLength) {
    const FixedString empty;
    EXPECT_EQ(empty.TextOrNull(), nullptr);
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_STREQ(empty.Text(), "");
    const FixedString s("ab");
    EXPECT_EQ(s.TextOrNull(), s.Text());
    EXPECT_EQ(s.Next(), nullptr);
}

TEST(FixedStringNumbers, ConstructionAndConversion) {
    EXPECT_STREQ(FixedString(int32_t{-42}).Text(), "-42");
    EXPECT_STREQ(FixedString(uint32_t{3000000000u}).Text(), "3000000000");
    EXPECT_DOUBLE_EQ(FixedString("2.75").ToDouble(), 2.75);
    struct Case {
        const char* text;
        int32_t toInt;  // INT32_MIN: past the range of atoi, not checked
        uint32_t toUnsigned;
        const char* hexToDecimal;
        const char* decimalToHex;
    };
    const Case cases[] = {
        {"42abc", 42, 42, "273084", "2a"},
        {"  -17", -17, 0, "0", "ffffffef"},
        {"x", 0, 0, "0", "0"},
        {"ff", 0, 0, "255", "0"},
        {"0x1A", 0, 0, "26", "0"},
        {"255", 255, 255, "597", "ff"},
        {"4294967295", INT32_MIN, 4294967295u, "4294967295", "ffffffff"},
        {"99999999999", INT32_MIN, 4294967295u, "4294967295", "ffffffff"},
    };
    for (const Case& c : cases) {
        const FixedString s(c.text);
        if (c.toInt != INT32_MIN) {
            EXPECT_EQ(s.ToInt(), c.toInt) << c.text;
        }
        EXPECT_EQ(s.ToUnsigned(), c.toUnsigned) << c.text;
        FixedString hex(s), dec(s);
        hex.HexToDecimal();
        dec.DecimalToHex();
        EXPECT_STREQ(hex.Text(), c.hexToDecimal) << c.text;
        EXPECT_STREQ(dec.Text(), c.decimalToHex) << c.text;
    }
    FixedString n;
    n.AssignNumber(int32_t{5}).AppendNumber(uint32_t{6});
    EXPECT_STREQ(n.Text(), "56");
}

TEST(FixedStringNumbers, FloatingPointText) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {3.5, "3.5"}, {100.0, "100"}, {-0.25, "-0.25"}, {1.0 / 3.0, "0.3333333"}, {2.0 / 3.0, "0.6666666"}, {0.0, "0"},
    };
    for (const Case& c : cases) EXPECT_STREQ(FixedString(c.value).Text(), c.text) << c.value;
    // Digits after the point are cut, the exponent is kept (its width is the runtime's).
    const std::string big = FixedString(1.23456789012345e+20).Text();
    EXPECT_EQ(big.substr(0, 11), "1.2345678e+");
    EXPECT_EQ(big.substr(big.size() - 2), "20");
}

TEST(FixedStringCompare, CaseInsensitiveWithNullTexts) {
    struct Case {
        const char* left;
        const char* right;
        int order;  // sign of left against right, ignoring case
    };
    const Case cases[] = {
        {"ABC", "abc", 0}, {"ABC", "aBc", 0}, {"ABC", "abd", -1}, {"ABC", "ABB", 1},
        {"ABC", "b", -1},  {"ab", "abc", -1}, {"", "", 0},        {"Z", "a", 1},
    };
    for (const Case& c : cases) {
        const FixedString left(c.left);
        for (const bool asString : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.left << " vs " << c.right << (asString ? " as string" : ""));
            const FixedString right(c.right);
            EXPECT_EQ(asString ? left == right : left == c.right, c.order == 0);
            EXPECT_EQ(asString ? left != right : left != c.right, c.order != 0);
            EXPECT_EQ(asString ? left < right : left < c.right, c.order < 0);
            EXPECT_EQ(asString ? left > right : left > c.right, c.order > 0);
        }
    }
    const char* null = nullptr;
    for (const FixedString& s : {FixedString("ABC"), FixedString()}) {
        EXPECT_FALSE(s == null);
        EXPECT_TRUE(s != null);
        EXPECT_FALSE(s < null);
        EXPECT_FALSE(s > null);
    }
}

TEST(FixedStringCase, RuntimeAndAsciiForms) {
    FixedString s("MiXeD 1\xC4");
    s.ToLowerAscii();
    EXPECT_STREQ(s.Text(), "mixed 1\xC4");
    s.ToUpperAscii();
    EXPECT_STREQ(s.Text(), "MIXED 1\xC4");
    s.ToLower();
    EXPECT_EQ(std::string(s.Text()).substr(0, 7), "mixed 1");
    s.ToUpper();
    EXPECT_EQ(std::string(s.Text()).substr(0, 7), "MIXED 1");
}

TEST(FixedStringFind, LastOccurrenceAndTails) {
    struct Case {
        const char* text;
        char c;
        int32_t index;
    };
    const Case cases[] = {
        {"archive.tar.gz", '.', 11},
        {".profile", '.', 0},
        {"a", 'a', 0},
        {"abc", 'z', 0},
        {"a.b", '.', 1},
        {"", '.', 0},
    };
    for (const Case& c : cases) EXPECT_EQ(FixedString(c.text).FindLast(c.c), c.index) << c.text;

    EXPECT_EQ(FixedString().LastChar(), nullptr);
    EXPECT_EQ(*FixedString("xyz").LastChar(), 'z');
    const FixedString s("abcdef");
    EXPECT_STREQ(s.LastChars(2), "ef");
    EXPECT_STREQ(s.LastChars(6), "abcdef");
    EXPECT_STREQ(s.LastChars(60), "abcdef");
    EXPECT_STREQ(s.LastChars(0), "");
}

TEST(FixedStringEdits, CharactersReplaceAndCut) {
    FixedString s("a\\b\\c");
    s.BackslashesToSlashes();
    EXPECT_STREQ(s.Text(), "a/b/c");
    s.Replace('/', '-');
    EXPECT_STREQ(s.Text(), "a-b-c");
    s.CutAt('-');
    EXPECT_STREQ(s.Text(), "a");

    FixedString t("hello");
    EXPECT_EQ(t.CharAt(1), 'e');
    EXPECT_EQ(t.CharAt(-1), '\0');
    EXPECT_EQ(t.CharAt(255), '\0');
    t.SetCharAt(0, 'j');
    t.SetCharAt(-1, 'x');
    t.SetCharAt(255, 'x');
    EXPECT_STREQ(t.Text(), "jello");

    FixedString full(Repeat('a', 254).c_str());
    full.SetCharAt(254, 'b');  // overwrites the terminator: the text grows to 255
    EXPECT_EQ(full.Length(), 255);
    EXPECT_EQ(full.CharAt(254), 'b');
}

TEST(FixedStringPaths, ExtensionsAndNames) {
    struct Case {
        const char* path;
        bool hasExtension;
        const char* stripped;
        const char* fileName;
        const char* extension;
        const char* directory;
    };
    const Case cases[] = {
        {"dir/archive.tar.gz", true, "dir/archive.tar", "archive.tar", "gz", "dir"},
        {".profile", false, ".profile", ".profile", "", ""},
        {"a/b/c.txt", true, "a/b/c", "c", "txt", "a/b"},
        {"noext", false, "noext", "noext", "", ""},
        {"dir.d/file", false, "dir.d/file", "file", "", "dir.d"},
        {"home/.bashrc", false, "home/.bashrc", ".bashrc", "", "home"},
        {"x.", true, "x", "x", "", ""},
        {"/root.ani", true, "/root", "root", "ani", ""},
    };
    for (const Case& c : cases) {
        const FixedString path(c.path);
        EXPECT_EQ(path.HasExtension(), c.hasExtension) << c.path;
        FixedString stripped(path);
        stripped.StripExtension();
        EXPECT_STREQ(stripped.Text(), c.stripped) << c.path;
        EXPECT_STREQ(path.FileName().Text(), c.fileName) << c.path;
        EXPECT_STREQ(path.Extension().Text(), c.extension) << c.path;
        EXPECT_STREQ(path.Directory().Text(), c.directory) << c.path;
        FixedString noName(path);
        noName.StripFileName();
        EXPECT_STREQ(noName.Text(), c.directory) << c.path;
    }
}

TEST(FixedStringPieces, LeftRightMidRemove) {
    const FixedString s("abcdef");
    EXPECT_STREQ(s.Left(2).Text(), "ab");
    EXPECT_STREQ(s.Left(60).Text(), "abcdef");
    EXPECT_STREQ(s.Left(-1).Text(), "");
    EXPECT_EQ(OfLength(255).Left(300).Length(), 254);
    EXPECT_STREQ(s.Right(2).Text(), "ef");
    EXPECT_STREQ(s.Right(10).Text(), "abcdef");

    struct Mid {
        int from;
        int to;
        const char* text;
    };
    for (const Mid& m : {Mid{1, 3, "bc"}, Mid{0, 6, "abcdef"}, Mid{3, 3, ""}, Mid{4, 2, ""}, Mid{-1, 2, ""},
                         Mid{2, 7, ""}, Mid{6, 6, ""}}) {
        EXPECT_STREQ(s.Mid(m.from, m.to).Text(), m.text) << m.from << "," << m.to;
    }

    FixedString r("abcdef");
    r.RemoveFirst(2);
    EXPECT_STREQ(r.Text(), "cdef");
    r.RemoveFirst(0);
    EXPECT_STREQ(r.Text(), "cdef");
    r.RemoveFirst(10);
    EXPECT_STREQ(r.Text(), "");
}

TEST(FixedStringAlignment, BlanksStayWithinCapacity) {
    FixedString s("ab");
    s.InsertBlanks(3);
    EXPECT_STREQ(s.Text(), "   ab");
    s.TrimLeading();
    EXPECT_STREQ(s.Text(), "ab");
    s.AlignRight(5);
    EXPECT_STREQ(s.Text(), "   ab");
    s.AlignRight(2);
    EXPECT_STREQ(s.Text(), "   ab");
    FixedString c("ab");
    c.Center(7);
    EXPECT_STREQ(c.Text(), "  ab");
    FixedString big = OfLength(250);
    big.InsertBlanks(10);
    EXPECT_EQ(big.Length(), 254);
    EXPECT_EQ(big.CharAt(3), ' ');
    EXPECT_EQ(big.CharAt(4), 'a');
    FixedString full = OfLength(255);
    full.AlignRight(300);
    EXPECT_EQ(full.Length(), 255);
}

TEST(FixedStringClear, BothFormsEmptyTheTextAndReleaseTheChain) {
    for (const bool all : {false, true}) {
        FixedString s("abc");
        s.AppendNode("next");
        all ? s.ClearAll() : s.Clear();
        EXPECT_EQ(s.Length(), 0) << all;
        EXPECT_EQ(s.Next(), nullptr) << all;
        if (all) {
            EXPECT_EQ(s.CharAt(1), '\0');  // the second form wipes the whole buffer
        }
    }
}

TEST(FixedStringChain, AppendWalkAndCopy) {
    FixedString head("a");
    FixedString* b = head.AppendNode("b");
    head.AppendNode(new FixedString("c"));
    head.AppendNode(static_cast<FixedString*>(nullptr));
    EXPECT_EQ(head.Node(0), &head);
    EXPECT_EQ(head.Node(1), b);
    EXPECT_STREQ(head.Node(2)->Text(), "c");
    EXPECT_EQ(head.Node(3), nullptr);
    EXPECT_EQ(head.Node(-1), nullptr);

    // Copies carry the text only; each chain keeps one owner (ASan sees a double free).
    const FixedString copy(head);
    EXPECT_EQ(copy.Next(), nullptr);
    FixedString assigned("z", new FixedString("own"));
    assigned = head;
    EXPECT_STREQ(assigned.Text(), "a");
    EXPECT_STREQ(assigned.Next()->Text(), "own");
    assigned = "y";
    EXPECT_STREQ(assigned.Next()->Text(), "own");
}

TEST(FixedStringChain, InsertSortedKeepsByteOrder) {
    FixedString* head = new FixedString("m");
    head = head->InsertSorted(new FixedString("x"));
    head = head->InsertSorted(new FixedString("c"));
    head = head->InsertSorted(new FixedString("M"));  // byte order: upper case first
    head = head->InsertSorted(new FixedString("m"));  // before the first equal node
    head = head->InsertSorted(nullptr);
    std::string order;
    for (FixedString* n = head; n != nullptr; n = n->Next()) order += n->Text();
    EXPECT_EQ(order, "Mcmmx");
    // A node that brings its own chain is inserted with it.
    head = head->InsertSorted(new FixedString("d", new FixedString("tail")));
    order.clear();
    for (FixedString* n = head; n != nullptr; n = n->Next()) order += std::string(n->Text()) + ",";
    EXPECT_EQ(order, "M,c,d,tail,m,m,x,");
    delete head;  // frees all seven nodes (ASan reports leaks)
}

void* DestroyLongChain(void*) {
    FixedString* head = new FixedString("head");
    FixedString* tail = head;
    for (int i = 0; i < 20000; ++i) {
        tail->AppendNode(new FixedString("node"));
        tail = tail->Next();
    }
    delete head;
    return nullptr;
}

// 20000 nodes on a 256 KB stack: recursive destruction would overflow it.
TEST(FixedStringChain, LongChainIsDestroyedWithoutDeepRecursion) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, DestroyLongChain, nullptr), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(TextCursor, WritesAdvanceAndStopAtTheEnd) {
    char buffer[8];
    std::memset(buffer, 'Q', sizeof buffer);
    TextCursor cursor(buffer, sizeof buffer);
    cursor.Write("ab");
    cursor.Write('c');
    cursor.Write(FixedString("de"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(cursor.Position(), 5u);
    cursor.Write("fghij");
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(cursor.Position(), 7u);
    cursor.SetPosition(1);
    cursor.Write("Z");
    EXPECT_STREQ(buffer, "aZ");
    cursor.SetPosition(100);
    EXPECT_EQ(cursor.Position(), 7u);
    cursor.Write(static_cast<const char*>(nullptr));
    TextCursor none(nullptr, 10);
    none.Write("x");
    EXPECT_EQ(none.Position(), 0u);
}

}  // namespace
