// FixedString driven by a byte script: each byte picks an operation on one of two strings or on a
// chain, the bytes after it give the operands. Texts must stay terminated inside their storage.

#include "fuzz/fuzz_input.h"
#include "glyphs/graphics_loader.h"
#include "support/fixed_string.h"

namespace {

FixedString* head;  // the chain of this run
#define OP [](FixedString & s, [[maybe_unused]] const FixedString& other, [[maybe_unused]] FuzzReader& in)
using Op = void (*)(FixedString&, const FixedString&, FuzzReader&);
const Op kOps[] = {OP{s = in.Text().get();
}  // namespace
, OP { s.Append(in.Text().get()).Append(static_cast<char>(in.Byte())).Append(other); }
, OP { s.AppendNumber(in.Int32()).AppendNumber(static_cast<uint32_t>(in.Int32())); }
, OP {
    double d;
    const uint32_t bits[2] = {in.Bytes(4), in.Bytes(4)};
    std::memcpy(&d, bits, sizeof d);
    s = s + d;
    s.AssignNumber(d);
}
, OP { s = s + other + in.Text().get() + in.Int32() + static_cast<uint32_t>(in.Int32()); }
, OP {
    (void)(s.ToInt() + s.ToDouble() + s.ToUnsigned());
    in.Byte() & 1 ? s.HexToDecimal() : s.DecimalToHex();
}
, OP { (void)((s == other) + (s != in.Text().get()) + (s < other) + (s > other) + (s < "M") + (s > "")); }
, OP {
    s.ToLower();
    other.Length() & 1 ? s.ToUpperAscii() : s.ToUpper();
    s.ToLowerAscii();
}
, OP { (void)(s.FindLast(static_cast<char>(in.Byte())) + (s.LastChar() != nullptr) + *s.LastChars(in.Int16())); }
, OP {
    s.Replace(static_cast<char>(in.Byte()), static_cast<char>(in.Byte()));
    s.BackslashesToSlashes();
}
, OP {
    s.CutAt(static_cast<char>(in.Byte()));
    s.SetCharAt(in.Int16(), static_cast<char>(in.Byte() | 1));
}
, OP {
    (void)s.CharAt(in.Int16());
    (void)s.HasExtension();
    in.Byte() & 1 ? s.StripFileName() : s.StripExtension();
}
, OP { s = s.FileName() + s.Extension() + s.Directory(); }
, OP {
    s = s.Left(in.Int16()) + s.Right(in.Int16()) + s.Mid(in.Int16(), in.Int16());
    s.RemoveFirst(in.Int16());
}
, OP {
    s.InsertBlanks(in.Int16());
    s.AlignRight(in.Int16());
    s.Center(in.Int16());
    s.TrimLeading();
}
, OP {
    const int32_t n = in.Int16();
    s = FixedString(other, n);
    s.Assign(FixedString(in.Text().get(), n));
}
, OP {
    const bool raw = in.Byte() & 1;
    const int32_t n = in.Int16();
    if (raw) s = FixedString::FromBytes(in.data + in.pos, n < int32_t(in.Left()) ? n : int32_t(in.Left()));
}
, OP { (void)GraphicsLoader::MapCompanionPath(s); }
, OP {
    head = head->InsertSorted(new FixedString(in.Text().get()));
    s.Append(*head);
}
, OP {
    FixedString* node = head->Node(in.Byte() % 8);
    if (node) node->AppendNode(in.Text().get())->Append(s);
}
, OP {
    const size_t n = 1 + in.Byte() % 16;
    std::unique_ptr<char[]> buffer(new char[n]);
    TextCursor cursor(buffer.get(), n);
    cursor.Write(s);
    cursor.Write(static_cast<char>(in.Byte()));
    cursor.SetPosition(in.Byte());
    cursor.Write(in.Text().get());
    FUZZ_CHECK(std::memchr(buffer.get(), 0, n) != nullptr);
}
,
}
;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader in{data, size};
    FixedString strings[2];
    head = new FixedString("m");
    while (in.Left() > 0) {
        const uint8_t op = in.Byte();
        kOps[(op >> 1) % (sizeof kOps / sizeof kOps[0])](strings[op & 1], strings[(op & 1) ^ 1], in);
        FUZZ_CHECK(std::memchr(strings[op & 1].Text(), 0, FixedString::kSize) != nullptr);
    }
    if (size & 1) head->ClearAll();
    for (FixedString* node = head; node != nullptr; node = node->Next())
        FUZZ_CHECK(std::memchr(node->Text(), 0, FixedString::kSize));
    delete head;
    return 0;
}
