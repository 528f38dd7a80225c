#include "engine/state/StateReader.h"

namespace
{
// The framework's XML parser loops forever or reads past the text on some malformed input,
// so the text is first checked against the plain subset that a saved state uses: an
// optional XML declaration, then elements with quoted attributes and the standard
// entities, whitespace between tags, nothing else (no text, comments, CDATA or DOCTYPE).
class PlainXmlScanner
{
public:
    PlainXmlScanner (const char* textIn, int lengthIn)
        : text (textIn)
        , end (textIn + lengthIn)
    {
    }

    bool scan()
    {
        skipSpace();

        if (startsWith ("<?xml"))
        {
            const char* close = find ("?>");

            if (close == nullptr)
                return false;

            p = close + 2;
        }

        skipSpace();

        if (! element (0))
            return false;

        skipSpace();
        return p == end || (*p == '\0' && p + 1 == end);
    }

private:
    static constexpr int maxDepth = 32;

    bool element (int depth)
    {
        if (depth > maxDepth || ! consume ('<'))
            return false;

        const char* nameStart = p;

        if (! name())
            return false;

        const auto nameLength = p - nameStart;

        for (;;)
        {
            const bool hadSpace = skipSpace();

            if (consume ('/'))
                return consume ('>');

            if (consume ('>'))
                break;

            if (! hadSpace || ! attribute())
                return false;
        }

        for (;;)
        {
            skipSpace();

            if (startsWith ("</"))
            {
                p += 2;

                if (end - p < nameLength || std::string_view (p, (size_t) nameLength) != std::string_view (nameStart, (size_t) nameLength))
                    return false;

                p += nameLength;
                skipSpace();
                return consume ('>');
            }

            if (! element (depth + 1))
                return false;
        }
    }

    bool attribute()
    {
        if (! name())
            return false;

        skipSpace();

        if (! consume ('='))
            return false;

        skipSpace();

        if (p == end || (*p != '"' && *p != '\''))
            return false;

        const char quote = *p++;

        while (p < end && *p != quote)
        {
            if (*p == '<' || *p == '\0')
                return false;

            if (*p == '&' && ! entity())
                return false;

            if (*p != '&')
                ++p;
        }

        return consume (quote);
    }

    bool entity()
    {
        for (const char* known : { "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" })
            if (startsWith (known))
            {
                p += std::char_traits<char>::length (known);
                return true;
            }

        if (! startsWith ("&#"))
            return false;

        p += 2;
        const bool hex = consume ('x');
        int digits = 0;

        // No code point needs more than 8 digits (the framework's own limit for hex ones).
        while (p < end && digits < 8 && (hex ? isHexDigit (*p) : isDigit (*p)))
        {
            ++p;
            ++digits;
        }

        return digits > 0 && consume (';');
    }

    bool name()
    {
        if (p == end || ! (isLetter (*p) || *p == '_' || *p == ':'))
            return false;

        while (p < end && (isLetter (*p) || isDigit (*p) || *p == '_' || *p == ':' || *p == '-' || *p == '.'))
            ++p;

        return true;
    }

    bool skipSpace()
    {
        const char* start = p;

        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;

        return p != start;
    }

    bool consume (char c)
    {
        if (p == end || *p != c)
            return false;

        ++p;
        return true;
    }

    bool startsWith (const char* s) const
    {
        const auto n = std::char_traits<char>::length (s);
        return static_cast<size_t> (end - p) >= n && std::char_traits<char>::compare (p, s, n) == 0;
    }

    const char* find (const char* s) const
    {
        const std::string_view rest (p, static_cast<size_t> (end - p));
        const auto at = rest.find (s);
        return at == std::string_view::npos ? nullptr : p + at;
    }

    static bool isLetter (char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit (char c) { return c >= '0' && c <= '9'; }
    static bool isHexDigit (char c) { return isDigit (c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

    const char* const text;
    const char* const end;
    const char* p = text;
};
} // namespace

namespace StateReader
{
std::unique_ptr<juce::XmlElement> parse (const void* data, int sizeInBytes)
{
    constexpr juce::uint32 xmlMagic = 0x21324356; // copyXmlToBinary's marker
    constexpr int headerSize = 8;

    if (data == nullptr || sizeInBytes <= headerSize)
        return nullptr;

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != xmlMagic)
        return nullptr;

    const auto textLength = static_cast<int> (juce::ByteOrder::littleEndianInt (bytes + sizeof (xmlMagic)));

    if (textLength <= 0 || textLength > sizeInBytes - headerSize)
        return nullptr;

    const char* text = bytes + headerSize;

    // Malformed UTF-8 near the end makes the framework's decoding read past the string.
    if (! juce::CharPointer_UTF8::isValidString (text, textLength) || ! PlainXmlScanner (text, textLength).scan())
        return nullptr;

    juce::XmlDocument document (juce::String::fromUTF8 (text, textLength));
    auto xml = document.getDocumentElement();

    if (document.getLastParseError().isNotEmpty())
        return nullptr;

    return xml;
}

std::optional<float> cutoffHz (const juce::String& attribute)
{
    int digits = 0, points = 0;

    for (const auto c : attribute)
    {
        if (c == '.')
            ++points;
        else if (c >= '0' && c <= '9')
            ++digits;
        else
            return std::nullopt;
    }

    if (digits == 0 || points > 1)
        return std::nullopt;

    const auto hz = attribute.getDoubleValue();

    if (! (hz >= minimumCutoffHz && hz <= maximumCutoffHz))
        return std::nullopt;

    return static_cast<float> (hz);
}
int oversamplingFactor (const juce::String& attribute)
{
    for (const auto factor : { 2, 4, 8 })
        if (attribute == juce::String (factor))
            return factor;

    return 1;
}
} // namespace StateReader
