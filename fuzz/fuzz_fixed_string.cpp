// FixedString driven by a byte script: each byte picks an operation on one of two strings
// or on a chain, the bytes after it give the operands. Every text must stay terminated
// inside its storage.

#include "fuzz/fuzz_input.h"
#include "glyphs/graphics_loader.h"
#include "support/fixed_string.h"

namespace {

void CheckTerminated(const FixedString& s) {
    FUZZ_CHECK(std::memchr(s.Text(), 0, FixedString::kSize) != nullptr && s.Length() <= FixedString::kMaxLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader in{data, size};
    FixedString strings[2];
    FixedString* head = new FixedString("m");
    while (in.Left() > 0) {
        const uint8_t op = in.Byte();
        FixedString& s = strings[op & 1];
        const FixedString& other = strings[(op & 1) ^ 1];
        switch ((op >> 1) % 24) {
            case 0:
                s = in.Text().get();
                break;
            case 1:
                s.Append(in.Text().get());
                break;
            case 2:
                s.Append(static_cast<char>(in.Byte())).Append(other);
                break;
            case 3:
                s.AppendNumber(in.Int32()).AppendNumber(static_cast<uint32_t>(in.Int32()));
                break;
            case 4: {
                double d;
                const uint32_t bits[2] = {in.Bytes(4), in.Bytes(4)};
                std::memcpy(&d, bits, sizeof d);
                s = s + d;
                s.AssignNumber(d);
                break;
            }
            case 5:
                s = s + other + in.Text().get() + in.Int32() + static_cast<uint32_t>(in.Int32());
                break;
            case 6:
                (void)(s.ToInt() + s.ToDouble() + s.ToUnsigned());
                break;
            case 7:
                in.Byte() & 1 ? s.HexToDecimal() : s.DecimalToHex();
                break;
            case 8:
                (void)((s == other) + (s != in.Text().get()) + (s < other) + (s > other) + (s < "M") + (s > ""));
                break;
            case 9:
                s.ToLower(), other.Length() & 1 ? s.ToUpperAscii() : s.ToUpper(), s.ToLowerAscii();
                break;
            case 10:
                (void)(s.FindLast(static_cast<char>(in.Byte())) + (s.LastChar() != nullptr) + *s.LastChars(in.Int16()));
                break;
            case 11:
                s.Replace(static_cast<char>(in.Byte()), static_cast<char>(in.Byte())), s.BackslashesToSlashes();
                break;
            case 12:
                s.CutAt(static_cast<char>(in.Byte())), s.SetCharAt(in.Int16(), static_cast<char>(in.Byte() | 1));
                break;
            case 13:
                (void)s.CharAt(in.Int16());
                break;
            case 14:
                (void)s.HasExtension(), s = s.FileName() + s.Extension() + s.Directory(), s.StripExtension();
                break;
            case 15:
                s.StripFileName();
                break;
            case 16:
                s = s.Left(in.Int16()) + s.Right(in.Int16()) + s.Mid(in.Int16(), in.Int16());
                break;
            case 17:
                s.RemoveFirst(in.Int16());
                break;
            case 18:
                s.InsertBlanks(in.Int16()), s.AlignRight(in.Int16()), s.Center(in.Int16()), s.TrimLeading();
                break;
            case 19: {
                const int32_t n = in.Int16();
                s = FixedString(other, n);
                s.Assign(FixedString(in.Text().get(), n));
                const bool raw = in.Byte() & 1;
                const int32_t bytes = n < static_cast<int32_t>(in.Left()) ? n : static_cast<int32_t>(in.Left());
                if (raw) s = FixedString::FromBytes(data + in.pos, bytes);
                break;
            }
            case 20:
                (void)GraphicsLoader::MapCompanionPath(s);
                break;
            case 21:
                head = head->InsertSorted(new FixedString(in.Text().get()));
                break;
            case 22: {
                FixedString* node = head->Node(in.Byte() % 8);
                if (node != nullptr) node->AppendNode(in.Text().get())->Append(*node);
                break;
            }
            case 23: {
                const size_t n = 1 + in.Byte() % 16;
                std::unique_ptr<char[]> buffer(new char[n]);
                TextCursor cursor(buffer.get(), n);
                cursor.Write(s), cursor.Write(static_cast<char>(in.Byte())), cursor.SetPosition(in.Byte());
                cursor.Write(in.Text().get());
                FUZZ_CHECK(std::memchr(buffer.get(), 0, n) != nullptr);
                break;
            }
        }
        CheckTerminated(s);
    }
    if (in.size & 1) head->ClearAll();
    for (FixedString* node = head; node != nullptr; node = node->Next()) CheckTerminated(*node);
    delete head;
    return 0;
}
