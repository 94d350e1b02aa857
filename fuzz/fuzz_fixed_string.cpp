// Each byte picks one of the operations the program uses on one of two strings, the next bytes its operands:
// texts stay terminated, whatever is assigned, appended, overwritten or made a companion path.
#include "fuzz/fuzz_input.h"

void Fuzz(FuzzReader& in) {
    FixedString strings[2];
    while (in.Left() > 0) {
        const uint8_t op = in.Byte();
        FixedString& s = strings[op & 1];
        switch (op / 2 % 5) {
            case 0:
                s = in.Text().get();
                break;
            case 1:
                s.Append(in.Text().get()).AppendNumber(in.Int32()).AppendNumber(in.Bytes(4));
                break;
            case 2:
                s = FixedString(strings[(op & 1) ^ 1]);
                break;
            case 3:
                s.SetCharAt(in.Int16(), static_cast<char>(in.Byte()));
                break;
            default:
                (void)GraphicsLoader::MapCompanionPath(s);
        }
        FUZZ_CHECK(std::memchr(s.Text(), 0, FixedString::kSize) != nullptr);
    }
}
