#include "support/fixed_string.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int32_t BoundedLength(const char* text, int32_t limit) {
    int32_t n = 0;
    while (n < limit && text[n] != '\0') ++n;
    return n;
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : (value > high ? high : value); }

// The runtime's case-insensitive byte order, folded to lower case in the C locale.
int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = std::tolower(static_cast<unsigned char>(*a));
        const int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

// Reads decimal digits after optional blanks and '+', saturating at the largest value.
uint32_t ParseUnsigned(const char* text, int base) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '+') ++text;
    if (base == 16 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
    uint64_t value = 0;
    for (;; ++text) {
        int digit;
        const char c = *text;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        value = value * base + digit;
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

// General format with 15 significant digits; at most 7 digits after the point (an
// exponent is kept); a trailing "." gets a "0".
void FormatDouble(double value, char* out, size_t size) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    char* dot = std::strrchr(text, '.');
    if (dot != nullptr) {
        char* digitsEnd = dot + 1;
        while (*digitsEnd >= '0' && *digitsEnd <= '9') ++digitsEnd;
        if (digitsEnd - (dot + 1) > 7) std::memmove(dot + 8, digitsEnd, std::strlen(digitsEnd) + 1);
        if (dot[1] == '\0') std::strcat(text, "0");
    }
    std::snprintf(out, size, "%s", text);
}

}  // namespace

FixedString::FixedString(const char* text) : text_{}, next_(nullptr) { CopyText(text, kTextLimit); }

FixedString::FixedString(const char* text, FixedString* next) : text_{}, next_(next) { CopyText(text, kTextLimit); }

FixedString::FixedString(int32_t value) : text_{}, next_(nullptr) { AssignNumber(value); }

FixedString::FixedString(uint32_t value) : text_{}, next_(nullptr) { AssignNumber(value); }

FixedString::FixedString(double value) : text_{}, next_(nullptr) { AssignNumber(value); }

FixedString::FixedString(const char* text, int32_t n) : text_{}, next_(nullptr) {
    CopyText(text, Clamp(n, 0, kMaxLength));
}

FixedString::FixedString(const FixedString& other, int32_t n) : text_{}, next_(nullptr) {
    CopyText(other.text_, Clamp(n, 0, kMaxLength));
}

FixedString FixedString::FromBytes(const void* bytes, int32_t n) {
    FixedString result;
    if (bytes != nullptr) std::memcpy(result.text_, bytes, Clamp(n, 0, kTextLimit));
    return result;
}

FixedString::FixedString(const FixedString& other) : text_{}, next_(nullptr) { CopyText(other.text_, kMaxLength); }

FixedString& FixedString::operator=(const FixedString& other) {
    if (this != &other) CopyText(other.text_, kMaxLength);
    return *this;
}

FixedString& FixedString::operator=(const char* text) { return Assign(text); }

FixedString::~FixedString() { ReleaseChain(); }

// Iterative, so a chain of any length is released without deep recursion.
void FixedString::ReleaseChain() {
    FixedString* node = next_;
    next_ = nullptr;
    while (node != nullptr) {
        FixedString* following = node->next_;
        node->next_ = nullptr;
        delete node;
        node = following;
    }
}

void FixedString::CopyText(const char* text, int32_t limit) {
    const int32_t n = text != nullptr ? BoundedLength(text, limit) : 0;
    if (n > 0) std::memmove(text_, text, n);
    text_[n] = '\0';
}

void FixedString::AppendBounded(const char* text, int32_t count) {
    const int32_t length = Length();
    const int32_t n = Clamp(count, 0, kTextLimit - length);
    if (n <= 0) return;
    std::memmove(text_ + length, text, n);
    text_[length + n] = '\0';
}

int32_t FixedString::Length() const { return BoundedLength(text_, kMaxLength); }

FixedString& FixedString::Assign(const char* text) {
    CopyText(text, kTextLimit);
    return *this;
}

FixedString& FixedString::Assign(const FixedString& other) { return *this = other; }

FixedString& FixedString::AssignNumber(int32_t value) {
    std::snprintf(text_, kSize, "%ld", static_cast<long>(value));
    return *this;
}

FixedString& FixedString::AssignNumber(uint32_t value) {
    std::snprintf(text_, kSize, "%lu", static_cast<unsigned long>(value));
    return *this;
}

FixedString& FixedString::AssignNumber(double value) {
    FormatDouble(value, text_, kSize);
    return *this;
}

void FixedString::Clear() {
    text_[0] = '\0';
    ReleaseChain();
}

void FixedString::ClearAll() {
    std::memset(text_, 0, kSize);
    ReleaseChain();
}

FixedString& FixedString::Append(const char* text) {
    if (text == nullptr || Length() >= kMaxLength) return *this;
    AppendBounded(text, BoundedLength(text, kTextLimit));
    return *this;
}

FixedString& FixedString::Append(const FixedString& other) {
    if (&other == this) {
        const FixedString copy(other);
        return Append(copy.text_);
    }
    return Append(other.text_);
}

FixedString& FixedString::Append(char c) {
    if (c != '\0') AppendBounded(&c, 1);
    return *this;
}

// A number is appended whole or not at all: a cut number would read as another one.
FixedString& FixedString::AppendNumber(int32_t value) {
    const FixedString digits(value);
    const int32_t n = digits.Length();
    if (Length() + n <= kTextLimit) AppendBounded(digits.text_, n);
    return *this;
}

FixedString& FixedString::AppendNumber(uint32_t value) {
    const FixedString digits(value);
    const int32_t n = digits.Length();
    if (Length() + n <= kTextLimit) AppendBounded(digits.text_, n);
    return *this;
}

FixedString FixedString::operator+(int32_t value) const {
    FixedString result(*this);
    return result.AppendNumber(value);
}

FixedString FixedString::operator+(uint32_t value) const {
    FixedString result(*this);
    return result.AppendNumber(value);
}

FixedString FixedString::operator+(double value) const {
    FixedString result(*this);
    const FixedString digits(value);
    const int32_t n = digits.Length();
    if (result.Length() + n <= kTextLimit) result.AppendBounded(digits.text_, n);
    return result;
}

FixedString FixedString::operator+(const char* text) const {
    FixedString result(*this);
    return result.Append(text);
}

FixedString FixedString::operator+(const FixedString& other) const {
    FixedString result(*this);
    return result.Append(other.text_);
}

int32_t FixedString::ToInt() const { return static_cast<int32_t>(std::atoi(text_)); }

double FixedString::ToDouble() const { return std::atof(text_); }

uint32_t FixedString::ToUnsigned() const { return ParseUnsigned(text_, 10); }

void FixedString::HexToDecimal() { AssignNumber(ParseUnsigned(text_, 16)); }

void FixedString::DecimalToHex() {
    const char* digits = text_ + std::strspn(text_, " \t");
    const uint32_t value = *digits == '-' ? static_cast<uint32_t>(ToInt()) : ParseUnsigned(text_, 10);
    std::snprintf(text_, kSize, "%lx", static_cast<unsigned long>(value));
}

bool FixedString::operator==(const char* text) const { return text != nullptr && CompareNoCase(text_, text) == 0; }
bool FixedString::operator!=(const char* text) const { return text == nullptr || CompareNoCase(text_, text) != 0; }
bool FixedString::operator<(const char* text) const { return text != nullptr && CompareNoCase(text_, text) < 0; }
bool FixedString::operator>(const char* text) const { return text != nullptr && CompareNoCase(text_, text) > 0; }
bool FixedString::operator==(const FixedString& other) const { return CompareNoCase(text_, other.text_) == 0; }
bool FixedString::operator!=(const FixedString& other) const { return CompareNoCase(text_, other.text_) != 0; }
bool FixedString::operator<(const FixedString& other) const { return CompareNoCase(text_, other.text_) < 0; }
bool FixedString::operator>(const FixedString& other) const { return CompareNoCase(text_, other.text_) > 0; }

void FixedString::ToLower() {
    for (char* p = text_; *p != '\0'; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

void FixedString::ToUpper() {
    for (char* p = text_; *p != '\0'; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
}

void FixedString::ToLowerAscii() {
    for (char* p = text_; *p != '\0'; ++p) {
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
    }
}

void FixedString::ToUpperAscii() {
    for (char* p = text_; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
}

int32_t FixedString::FindLast(char c) const {
    if (c == '\0' || Length() < 2) return 0;
    const char* last = std::strrchr(text_, c);
    return last != nullptr ? static_cast<int32_t>(last - text_) : 0;
}

const char* FixedString::LastChar() const {
    const int32_t length = Length();
    return length > 0 ? text_ + length - 1 : nullptr;
}

const char* FixedString::LastChars(int32_t n) const {
    const int32_t length = Length();
    return text_ + (length > n ? length - (n < 0 ? 0 : n) : 0);
}

void FixedString::Replace(char from, char to) {
    if (from == '\0') return;
    const int32_t length = Length();
    for (int32_t i = 0; i < length; ++i) {
        if (text_[i] == from) text_[i] = to;
    }
}

void FixedString::BackslashesToSlashes() { Replace('\\', '/'); }

void FixedString::CutAt(char c) {
    if (c == '\0') return;
    char* found = std::strchr(text_, c);
    if (found != nullptr) *found = '\0';
}

char FixedString::CharAt(int32_t position) const {
    return position >= 0 && position <= kTextLimit ? text_[position] : '\0';
}

void FixedString::SetCharAt(int32_t position, char c) {
    if (position < 0 || position > kTextLimit) return;
    text_[position] = c;
    text_[kMaxLength] = '\0';
}

namespace {

// Index where the file name starts: after the last "/".
int32_t FileNameStart(const char* text) {
    const char* slash = std::strrchr(text, '/');
    return slash != nullptr ? static_cast<int32_t>(slash - text) + 1 : 0;
}

// Index of the extension's ".", or -1. Only a "." inside the file name after its first
// character counts, so ".profile" and "dir.d/file" have none.
int32_t ExtensionDot(const char* text) {
    const int32_t start = FileNameStart(text);
    const char* dot = std::strrchr(text + start, '.');
    return dot != nullptr && dot > text + start ? static_cast<int32_t>(dot - text) : -1;
}

}  // namespace

bool FixedString::HasExtension() const { return ExtensionDot(text_) >= 0; }

void FixedString::StripExtension() {
    const int32_t dot = ExtensionDot(text_);
    if (dot >= 0) text_[dot] = '\0';
}

void FixedString::StripFileName() {
    const int32_t start = FileNameStart(text_);
    text_[start > 0 ? start - 1 : 0] = '\0';
}

FixedString FixedString::FileName() const {
    FixedString name(text_ + FileNameStart(text_));
    name.StripExtension();
    return name;
}

FixedString FixedString::Extension() const {
    const int32_t dot = ExtensionDot(text_);
    return dot >= 0 ? FixedString(text_ + dot + 1) : FixedString();
}

FixedString FixedString::Directory() const {
    FixedString directory(*this);
    directory.StripFileName();
    return directory;
}

FixedString FixedString::Left(int32_t n) const { return FixedString(text_, Clamp(n, 0, kTextLimit)); }

FixedString FixedString::Right(int32_t n) const { return FixedString(LastChars(n)); }

FixedString FixedString::Mid(int32_t from, int32_t to) const {
    const int32_t length = Length();
    if (from < 0 || from >= length || to < 0 || to > length || from >= to) return FixedString();
    return FixedString(text_ + from, to - from);
}

void FixedString::RemoveFirst(int32_t n) {
    if (n <= 0) return;
    const int32_t length = Length();
    if (n >= length) {
        text_[0] = '\0';
        return;
    }
    std::memmove(text_, text_ + n, length - n + 1);
}

void FixedString::InsertBlanks(int32_t n) {
    const int32_t length = Length();
    n = Clamp(n, 0, kTextLimit - length);
    if (n <= 0) return;
    std::memmove(text_ + n, text_, length + 1);
    std::memset(text_, ' ', n);
}

void FixedString::AlignRight(int32_t width) { InsertBlanks(width - Length()); }

void FixedString::Center(int32_t width) { InsertBlanks((width - Length()) / 2); }

void FixedString::TrimLeading() {
    int32_t n = 0;
    while (text_[n] == ' ') ++n;
    RemoveFirst(n);
}

void FixedString::AppendNode(FixedString* node) {
    if (node == nullptr) return;
    FixedString* tail = this;
    while (tail->next_ != nullptr) tail = tail->next_;
    tail->next_ = node;
}

FixedString* FixedString::AppendNode(const char* text) {
    FixedString* node = new FixedString(text);
    AppendNode(node);
    return node;
}

// A node that brings a chain of its own is inserted together with that chain.
FixedString* FixedString::InsertSorted(FixedString* node) {
    if (node == nullptr) return this;
    FixedString* nodeTail = node;
    while (nodeTail->next_ != nullptr) nodeTail = nodeTail->next_;
    if (std::strcmp(text_, node->text_) >= 0) {
        nodeTail->next_ = this;
        return node;
    }
    FixedString* before = this;
    while (before->next_ != nullptr && std::strcmp(before->next_->text_, node->text_) < 0) before = before->next_;
    nodeTail->next_ = before->next_;
    before->next_ = node;
    return this;
}

FixedString* FixedString::Node(int32_t n) {
    if (n < 0) return nullptr;
    FixedString* node = this;
    while (node != nullptr && n-- > 0) node = node->next_;
    return node;
}

TextCursor::TextCursor(char* buffer, size_t size) : buffer_(buffer), size_(buffer != nullptr ? size : 0) {
    if (size_ > 0) buffer_[0] = '\0';
}

void TextCursor::Write(const char* text) {
    if (size_ == 0 || text == nullptr) return;
    while (*text != '\0' && position_ + 1 < size_) buffer_[position_++] = *text++;
    buffer_[position_] = '\0';
}

void TextCursor::Write(char c) {
    const char text[2] = {c, '\0'};
    Write(text);
}

void TextCursor::SetPosition(size_t offset) {
    if (size_ == 0) return;
    position_ = offset < size_ ? offset : size_ - 1;
}
