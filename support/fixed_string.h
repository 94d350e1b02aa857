#pragma once

#include <cstddef>
#include <cstdint>

// Short text held inside the object (at most 255 single-byte characters plus the
// terminator), so paths and log messages need no heap. A string can also be the head
// of a singly linked chain and owns the nodes behind it.
//
// Capacity: construction and assignment from a text keep at most 254 characters;
// construction from the first n characters accepts n up to 255; every operation that
// lengthens a string (appending, concatenation, padding) keeps it within 254
// characters. A number is appended whole or not at all.
class FixedString {
public:
    static constexpr int32_t kSize = 256;       // bytes of text storage
    static constexpr int32_t kMaxLength = 255;  // characters the storage can hold
    static constexpr int32_t kTextLimit = 254;  // characters kept by assignment and appending

    constexpr FixedString() : text_{}, next_(nullptr) {}
    FixedString(const char* text);  // NOLINT: implicit, texts are passed where strings are expected
    FixedString(const char* text, FixedString* next);
    explicit FixedString(int32_t value);
    explicit FixedString(uint32_t value);
    explicit FixedString(double value);
    // The first n characters (n limited to 255 and to the source's length).
    FixedString(const char* text, int32_t n);
    FixedString(const FixedString& other, int32_t n);
    // n raw bytes (n limited to 254), copied without looking for a terminator.
    static FixedString FromBytes(const void* bytes, int32_t n);

    // Copies hold the text only: a node belongs to one chain.
    FixedString(const FixedString& other);
    FixedString& operator=(const FixedString& other);  // text only; next is left alone
    FixedString& operator=(const char* text);          // at most 254 characters; next is left alone
    ~FixedString();                                    // frees the whole chain behind this node

    // Text access.
    int32_t Length() const;
    const char* Text() const { return text_; }
    const char* TextOrNull() const { return text_[0] != '\0' ? text_ : nullptr; }

    // Assignment.
    FixedString& Assign(const char* text);
    FixedString& Assign(const FixedString& other);
    FixedString& AssignNumber(int32_t value);
    FixedString& AssignNumber(uint32_t value);
    FixedString& AssignNumber(double value);
    void Clear();     // empty text, next null (the chain is released)
    void ClearAll();  // all text bytes zero, next null (the chain is released)

    // Appending; the result holds at most 254 characters.
    FixedString& Append(const char* text);
    FixedString& Append(const FixedString& other);
    FixedString& Append(char c);
    FixedString& AppendNumber(int32_t value);
    FixedString& AppendNumber(uint32_t value);
    FixedString& operator+=(const char* text) { return Append(text); }
    FixedString& operator+=(const FixedString& other) { return Append(other); }
    FixedString& operator+=(int32_t value) { return AppendNumber(value); }
    FixedString& operator+=(uint32_t value) { return AppendNumber(value); }

    // Concatenation into a new string, cut like appending.
    FixedString operator+(int32_t value) const;
    FixedString operator+(uint32_t value) const;
    FixedString operator+(double value) const;
    FixedString operator+(const char* text) const;
    FixedString operator+(const FixedString& other) const;

    // Number conversions.
    int32_t ToInt() const;        // leading digits, as atoi
    double ToDouble() const;      // as atof
    uint32_t ToUnsigned() const;  // decimal
    void HexToDecimal();          // "ff" (read as 0xff) becomes "255"
    void DecimalToHex();          // "255" becomes "ff"

    // Case-insensitive comparison. A null text is not equal and neither less nor greater.
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const;
    bool operator<(const char* text) const;
    bool operator>(const char* text) const;
    bool operator==(const FixedString& other) const;
    bool operator!=(const FixedString& other) const;
    bool operator<(const FixedString& other) const;
    bool operator>(const FixedString& other) const;

    // Case.
    void ToLower();  // through the runtime (locale-aware)
    void ToUpper();
    void ToLowerAscii();  // A-Z only
    void ToUpperAscii();  // a-z only

    // Finding.
    // Index of the last occurrence of c; 0 when there is none, when the text has fewer
    // than two characters, or when the only occurrence is the first character.
    int32_t FindLast(char c) const;
    const char* LastChar() const;            // null for an empty text
    const char* LastChars(int32_t n) const;  // the whole text when it is not longer than n

    // Character edits.
    void Replace(char from, char to);
    void BackslashesToSlashes();
    void CutAt(char c);                        // the text ends at the first occurrence of c
    char CharAt(int32_t position) const;       // 0 outside 0 ... 254
    void SetCharAt(int32_t position, char c);  // ignored outside 0 ... 254

    // Paths with forward slashes; an extension is a "." after the first character of
    // the file name.
    bool HasExtension() const;
    void StripExtension();
    void StripFileName();           // cut at the last "/"
    FixedString FileName() const;   // after the last "/", extension removed
    FixedString Extension() const;  // after the last "."
    FixedString Directory() const;  // before the last "/"

    // Pieces.
    FixedString Left(int32_t n) const;  // n limited to 254
    FixedString Right(int32_t n) const;
    FixedString Mid(int32_t from, int32_t to) const;  // [from, to); empty when outside or from >= to
    void RemoveFirst(int32_t n);

    // Alignment with blanks.
    void InsertBlanks(int32_t n);
    void AlignRight(int32_t width);
    void Center(int32_t width);
    void TrimLeading();

    // Chain. Nodes handed over become owned by the chain.
    FixedString* Next() const { return next_; }
    void AppendNode(FixedString* node);
    FixedString* AppendNode(const char* text);  // returns the new node
    // Inserts node before the first node that is greater or equal (case-sensitive byte
    // order) in the chain starting at this node; returns the head, possibly node.
    FixedString* InsertSorted(FixedString* node);
    FixedString* Node(int32_t n);  // n steps along the chain; null when negative or too short

private:
    void CopyText(const char* text, int32_t limit);
    void AppendBounded(const char* text, int32_t count);
    void ReleaseChain();

    char text_[kSize];
    FixedString* next_;
};

// One write position in a caller's buffer of a known size. Writes stop at the end of
// the buffer and always leave the text terminated.
class TextCursor {
public:
    TextCursor(char* buffer, size_t size);

    void Write(const char* text);
    void Write(char c);
    void Write(const FixedString& text) { Write(text.Text()); }
    void SetPosition(size_t offset);  // within the buffer; clamped to its last byte
    size_t Position() const { return position_; }

private:
    char* buffer_;
    size_t size_;
    size_t position_ = 0;
};
