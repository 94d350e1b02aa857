// Each byte picks an operation on one of two strings or a chain, the next bytes its operands: texts stay terminated.
#include "fuzz/fuzz_input.h"

FixedString* head;

static void Step(int op, FixedString& s, const FixedString& other, FuzzReader& in) {
    switch (op) {
        case 0:
            s = in.Text().get();
            break;
        case 1:
            s.Append(in.Text().get()).Append(in.Char()).Append(other);
            break;
        case 2:
            s.AppendNumber(in.Int32()).AppendNumber(in.Bytes(4));
            break;
        case 3: {
            double d;
            const uint32_t bits[2] = {in.Bytes(4), in.Bytes(4)};
            std::memcpy(&d, bits, sizeof d);
            s = s + d;
            s.AssignNumber(d);
            break;
        }
        case 4:
            s = s + other + in.Text().get() + in.Int32() + in.Bytes(4);
            break;
        case 5:
            (void)(s.ToInt() + s.ToDouble() + s.ToUnsigned());
            in.Byte() & 1 ? s.HexToDecimal() : s.DecimalToHex();
            break;
        case 6:
            (void)((s == other) + (s != in.Text().get()) + (s < other) + (s > other) + (s < "M") + (s > ""));
            break;
        case 7:
            s.ToLower();
            other.Length() & 1 ? s.ToUpperAscii() : s.ToUpper();
            s.ToLowerAscii();
            break;
        case 8:
            (void)(s.FindLast(in.Char()) + (s.LastChar() != nullptr) + *s.LastChars(in.Int16()));
            break;
        case 9:
            s.Replace(in.Char(), in.Char());
            s.BackslashesToSlashes();
            break;
        case 10:
            s.CutAt(in.Char());
            s.SetCharAt(in.Int16(), static_cast<char>(in.Byte() | 1));
            break;
        case 11:
            (void)s.CharAt(in.Int16());
            (void)s.HasExtension();
            in.Byte() & 1 ? s.StripFileName() : s.StripExtension();
            break;
        case 12:
            s = s.FileName() + s.Extension() + s.Directory();
            break;
        case 13:
            s = s.Left(in.Int16()) + s.Right(in.Int16()) + s.Mid(in.Int16(), in.Int16());
            s.RemoveFirst(in.Int16());
            break;
        case 14:
            s.InsertBlanks(in.Int16());
            s.AlignRight(in.Int16());
            s.Center(in.Int16());
            s.TrimLeading();
            break;
        case 15: {
            const int32_t n = in.Int16();
            s = FixedString(other, n);
            s.Assign(FixedString(in.Text().get(), n));
            break;
        }
        case 16: {
            const bool raw = in.Byte() & 1;
            const int32_t n = std::min<int32_t>(in.Int16(), in.Left());
            if (raw) s = FixedString::FromBytes(in.data + in.pos, n);
            break;
        }
        case 17:
            (void)GraphicsLoader::MapCompanionPath(s);
            break;
        case 18:
            head = head->InsertSorted(new FixedString(in.Text().get()));
            s.Append(*head);
            break;
        case 19: {
            FixedString* node = head->Node(in.Byte() % 8);
            if (node) node->AppendNode(in.Text().get())->Append(s);
            break;
        }
        default: {
            const size_t n = 1 + in.Byte() % 16;
            std::unique_ptr<char[]> buffer(new char[n]);
            TextCursor cursor(buffer.get(), n);
            cursor.Write(s);
            cursor.Write(in.Char());
            cursor.SetPosition(in.Byte());
            cursor.Write(in.Text().get());
            FUZZ_CHECK(std::memchr(buffer.get(), 0, n) != nullptr);
        }
    }
}

void Fuzz(FuzzReader& in) {
    FixedString strings[2];
    head = new FixedString("m");
    while (in.Left() > 0) {
        const uint8_t op = in.Byte();
        Step(op / 2 % 21, strings[op & 1], strings[(op & 1) ^ 1], in);
        FUZZ_CHECK(std::memchr(strings[op & 1].Text(), 0, FixedString::kSize) != nullptr);
    }
    if (in.size & 1) head->ClearAll();
    for (FixedString* node = head; node != nullptr; node = node->Next())
        FUZZ_CHECK(std::memchr(node->Text(), 0, FixedString::kSize));
    delete head;
}
