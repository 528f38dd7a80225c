#include "engine/state/PresetReader.h"

namespace
{
// Fewest bytes that one element can take in the stream. A count that would need more than the
// largest accepted file cannot come from a preset that was merely cut short: it is hostile.
constexpr juce::int64 minChildBytes = 4; // type "x\0", property count, child count
constexpr juce::int64 minPropertyBytes = 3; // name "x\0", an empty value
constexpr juce::int64 minElementBytes = 1; // an empty value

// A parameter state is two levels deep. The limits keep the framework's recursive reader far
// from the end of the stack whatever the file holds.
constexpr int maxTreeDepth = 32;
constexpr int maxArrayDepth = 32;

// Type markers of juce::var's stream format.
constexpr juce::uint8 intMarker = 1;
constexpr juce::uint8 boolTrueMarker = 2;
constexpr juce::uint8 boolFalseMarker = 3;
constexpr juce::uint8 doubleMarker = 4;
constexpr juce::uint8 stringMarker = 5;
constexpr juce::uint8 int64Marker = 6;
constexpr juce::uint8 arrayMarker = 7;

/** Well-formed UTF-8 in its shortest form, without surrogates or code points past U+10FFFF:
    the only text that the framework's writer puts into a stream. It measures a string by its
    decoded characters, so any other bytes would not be written back as they were read, and the
    state, and the host state saved from it, would come out corrupt. */
bool isStrictUtf8 (const juce::uint8* text, size_t numBytes)
{
    for (size_t i = 0; i < numBytes;)
    {
        const auto lead = text[i];
        size_t length = 1;
        juce::uint8 low = 0x80, high = 0xbf; // allowed range of the second byte

        if (lead >= 0xc2 && lead <= 0xdf)
        {
            length = 2;
        }
        else if (lead >= 0xe0 && lead <= 0xef)
        {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80; // no overlong forms
            high = lead == 0xed ? 0x9f : 0xbf; // no surrogates
        }
        else if (lead >= 0xf0 && lead <= 0xf4)
        {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80; // no overlong forms
            high = lead == 0xf4 ? 0x8f : 0xbf; // nothing past U+10FFFF
        }
        else if (lead >= 0x80)
        {
            return false;
        }

        if (numBytes - i < length)
            return false;

        if (length > 1 && (text[i + 1] < low || text[i + 1] > high))
            return false;

        for (size_t k = 2; k < length; ++k)
            if ((text[i + k] & 0xc0) != 0x80)
                return false;

        i += length;
    }

    return true;
}

enum class Scan
{
    complete,
    damaged, // cut short or corrupt from here on: keep what came before
    hostile // a count or nesting that no sane preset holds: reject the whole file
};

/** Walks a tree stream exactly as juce::ValueTree::readFromStream and juce::var::readFromStream
    consume it, building nothing, and rebuilds the stream of the root with only the children
    that are complete. The framework's reader then builds the tree from that stream. */
class TreeScanner
{
public:
    TreeScanner (const juce::uint8* bytes, size_t numBytes)
        : data (bytes)
        , size (numBytes)
    {
    }

    /** The root's stream with its complete children and a child count that matches them;
        empty when the data is hostile or holds no root with a complete child. A root without
        children sets nothing, and random bytes now and then pass for one. */
    juce::MemoryBlock recoverRoot()
    {
        juce::int64 numChildren = 0;
        size_t childCountStart = 0;

        if (scanHeader (numChildren, childCountStart) != Scan::complete)
            return {};

        const auto childrenStart = position;
        auto childrenEnd = position;
        int completeChildren = 0;

        for (juce::int64 i = 0; i < numChildren; ++i)
        {
            const auto child = scanTree (1);

            if (child == Scan::hostile)
                return {};

            if (child == Scan::damaged)
                break;

            childrenEnd = position;
            ++completeChildren;
        }

        if (completeChildren == 0)
            return {};

        juce::MemoryOutputStream out;
        out.write (data, childCountStart);
        out.writeCompressedInt (completeChildren);
        out.write (data + childrenStart, childrenEnd - childrenStart);
        return out.getMemoryBlock();
    }

private:
    size_t remaining() const { return size - position; }

    /** A NUL-terminated string of UTF-8 text; `isEmpty` tells whether it had no characters. */
    Scan readString (bool& isEmpty)
    {
        const auto* start = data + position;
        const auto* nul = static_cast<const juce::uint8*> (std::memchr (start, 0, remaining()));

        if (nul == nullptr)
            return Scan::damaged;

        const auto length = static_cast<size_t> (nul - start);

        if (! isStrictUtf8 (start, length))
            return Scan::damaged;

        isEmpty = length == 0;
        position += length + 1;
        return Scan::complete;
    }

    /** The bytes of a string value: its text ends at the first NUL, if there is one. */
    Scan skipText (size_t numBytes)
    {
        if (remaining() < numBytes)
            return Scan::damaged;

        const auto* start = data + position;
        const auto* nul = static_cast<const juce::uint8*> (std::memchr (start, 0, numBytes));
        const auto length = nul != nullptr ? static_cast<size_t> (nul - start) : numBytes;

        if (! isStrictUtf8 (start, length))
            return Scan::damaged;

        position += numBytes;
        return Scan::complete;
    }

    /** InputStream::readCompressedInt's encoding, read as a count of elements that each take
        at least `minBytesEach` bytes. */
    Scan readCount (juce::int64& count, juce::int64 minBytesEach)
    {
        if (remaining() < 1)
            return Scan::damaged;

        // The size byte: its low 7 bits count the little-endian bytes that follow (at most an
        // int's 4), its top bit is the sign.
        const auto sizeByte = data[position++];
        const auto numBytes = static_cast<size_t> (sizeByte & 0x7f);

        if (numBytes > sizeof (juce::int32) || remaining() < numBytes)
            return Scan::damaged;

        juce::uint32 bits = 0;

        for (size_t i = 0; i < numBytes; ++i)
            bits |= static_cast<juce::uint32> (data[position++]) << (8 * i);

        // The framework reads the four bytes as a signed int and then applies the sign bit;
        // either way a negative count is corrupt, and negating the most negative int would
        // overflow in the framework's reader, which therefore never sees one.
        const auto magnitude = static_cast<juce::int64> (static_cast<juce::int32> (bits));
        count = (sizeByte & 0x80) != 0 ? -magnitude : magnitude;

        if (count < 0)
            return Scan::damaged;

        return count * minBytesEach > maxPresetFileBytes ? Scan::hostile : Scan::complete;
    }

    Scan skip (size_t numBytes)
    {
        if (remaining() < numBytes)
            return Scan::damaged;

        position += numBytes;
        return Scan::complete;
    }

    /** One juce::var: a byte count, then (when the count is positive) a marker and its data. */
    Scan scanVar (int arrayDepth)
    {
        juce::int64 numBytes = 0;

        if (const auto s = readCount (numBytes, 1); s != Scan::complete)
            return s;

        if (numBytes == 0)
            return Scan::complete;

        if (remaining() < 1)
            return Scan::damaged;

        switch (data[position++])
        {
            case intMarker:
                return skip (sizeof (juce::int32));
            case int64Marker:
            case doubleMarker:
                return skip (sizeof (juce::int64)); // a double's size too
            case boolTrueMarker:
            case boolFalseMarker:
                return Scan::complete;
            case stringMarker:
                return skipText (static_cast<size_t> (numBytes - 1));

            case arrayMarker:
            {
                if (arrayDepth >= maxArrayDepth)
                    return Scan::hostile;

                juce::int64 numElements = 0;

                if (const auto s = readCount (numElements, minElementBytes); s != Scan::complete)
                    return s;

                for (juce::int64 i = 0; i < numElements; ++i)
                    if (const auto s = scanVar (arrayDepth + 1); s != Scan::complete)
                        return s;

                return Scan::complete;
            }

            default:
                // Binary data and markers the reader does not know carry the rest of the byte
                // count, after the marker.
                return skip (static_cast<size_t> (numBytes - 1));
        }
    }

    /** A tree's type, its properties and its child count. The framework's reader stops at an
        empty type or property name, so both count as damage. */
    Scan scanHeader (juce::int64& numChildren, size_t& childCountStart)
    {
        bool isEmpty = true;

        if (const auto s = readString (isEmpty); s != Scan::complete || isEmpty)
            return Scan::damaged;

        juce::int64 numProperties = 0;

        if (const auto s = readCount (numProperties, minPropertyBytes); s != Scan::complete)
            return s;

        for (juce::int64 i = 0; i < numProperties; ++i)
        {
            if (const auto s = readString (isEmpty); s != Scan::complete || isEmpty)
                return Scan::damaged;

            if (const auto s = scanVar (0); s != Scan::complete)
                return s;
        }

        childCountStart = position;
        return readCount (numChildren, minChildBytes);
    }

    Scan scanTree (int depth)
    {
        if (depth > maxTreeDepth)
            return Scan::hostile;

        juce::int64 numChildren = 0;
        size_t childCountStart = 0;

        if (const auto s = scanHeader (numChildren, childCountStart); s != Scan::complete)
            return s;

        for (juce::int64 i = 0; i < numChildren; ++i)
            if (const auto s = scanTree (depth + 1); s != Scan::complete)
                return s;

        return Scan::complete;
    }

    const juce::uint8* data;
    size_t size;
    size_t position = 0;
};
} // namespace

juce::ValueTree readPresetTree (juce::InputStream& input, juce::int64 size)
{
    if (size < 0 || size > maxPresetFileBytes)
        return {};

    juce::MemoryBlock bytes;
    const auto numRead = input.readIntoMemoryBlock (bytes, static_cast<ssize_t> (size));

    if (numRead == 0)
        return {};

    const auto root = TreeScanner (static_cast<const juce::uint8*> (bytes.getData()), numRead).recoverRoot();

    if (root.isEmpty())
        return {};

    return juce::ValueTree::readFromData (root.getData(), root.getSize());
}
