// Each byte picks an operation on one of two strings or a chain, the next bytes its operands: texts stay terminated.
// The operations that count positions and lengths; comparing, case and number parsing only walk to the terminator.
#include "fuzz/fuzz_input.h"

void Fuzz(FuzzReader& in) {
    FixedString strings[2];
    FixedString* head = new FixedString("m");
    while (in.Left() > 0) {
        const uint8_t op = in.Byte();
        FixedString& s = strings[op & 1];
        const FixedString& other = strings[(op & 1) ^ 1];
        switch (op / 2 % 8) {
            case 0:
                s = in.Text().get();
                break;
            case 1:
                s.Append(in.Text().get()).Append(other).AppendNumber(in.Int32()).AppendNumber(in.Bytes(4));
                break;
            case 2:
                s = s.Left(in.Int16()) + s.Right(in.Int16()) + s.Mid(in.Int16(), in.Int16());
                s.RemoveFirst(in.Int16());
                break;
            case 3:
                s.InsertBlanks(in.Int16());
                s.Center(in.Int16());
                s.TrimLeading();
                break;
            case 4:
                s.SetCharAt(in.Int16(), static_cast<char>(in.Byte()));
                s.CutAt(static_cast<char>(in.Byte()));
                s = FixedString(other, in.Int16()) + s.LastChars(in.Int16());
                break;
            case 5:
                s = s.FileName() + s.Extension() + s.Directory();
                in.Byte() & 1 ? s.StripFileName() : s.StripExtension();
                (void)GraphicsLoader::MapCompanionPath(s);
                break;
            case 6:
                head = head->InsertSorted(new FixedString(in.Text().get()));
                if (FixedString* node = head->Node(in.Byte() % 8)) node->AppendNode(s.Text())->Append(other);
                break;
            default: {
                const size_t n = 1 + in.Byte() % 16;
                const std::unique_ptr<char[]> buffer(new char[n]);
                TextCursor cursor(buffer.get(), n);
                cursor.Write(s.Text());
                cursor.SetPosition(in.Byte());
                cursor.Write(in.Text().get());
                FUZZ_CHECK(std::memchr(buffer.get(), 0, n) != nullptr);
            }
        }
        FUZZ_CHECK(std::memchr(s.Text(), 0, FixedString::kSize) != nullptr);
    }
    delete head;  // and the chain behind it
}
