// A form and a clock of the tests' own for the calculate command.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

// How a read stops where the text does not fit: at the byte, as Wine's read does
// (it keeps a cut character's lead byte), or before the cut character, as Windows'
// read does in code page 936 (lead bytes 81 to FE) and where the code page is UTF-8.
enum class Reads { Bytes, WholeCharactersIn936, WholeCharactersInUtf8 };

// Fields that behave as a dialog's edit fields do: a read copies at most size - 1
// bytes and a zero, and reports how many bytes it copied.
struct FakeForm {
    explicit FakeForm(std::string sourceText = "", std::string fileText = "", Reads fieldReads = Reads::Bytes)
        : source(std::move(sourceText)), file(std::move(fileText)), reads(fieldReads) {}

    std::string source;
    std::string file;
    Reads reads;
    std::string md5;
    std::vector<std::string> md5Writes;
    int fileReads = 0;

    // True when the first `count` bytes of `text` end with a double-byte character's lead byte.
    static bool EndsInLeadByte(const std::string& text, int count)
    {
        bool lead = false;
        for (int i = 0; i < count; ++i) {
            const auto byte = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
            lead = !lead && byte >= 0x81 && byte <= 0xFE;
        }
        return lead;
    }
    int Copy(const std::string& field, char* buffer, int size) const
    {
        int count = static_cast<int>(field.size()) < size - 1 ? static_cast<int>(field.size()) : size - 1;
        const bool cut = count < static_cast<int>(field.size());
        if (reads == Reads::WholeCharactersIn936 && cut && EndsInLeadByte(field, count))
            --count;
        // Where the first byte left out continues a character, all of that character is.
        while (reads == Reads::WholeCharactersInUtf8 && cut && count > 0 &&
               (field[static_cast<size_t>(count)] & 0xC0) == 0x80)
            --count;
        std::memcpy(buffer, field.data(), static_cast<size_t>(count));
        buffer[count] = '\0';
        return count;
    }
    int ReadSource(char* buffer, int size) { return Copy(source, buffer, size); }
    int ReadFile(char* buffer, int size)
    {
        ++fileReads;
        return Copy(file, buffer, size);
    }
    void WriteMd5(const char* text)
    {
        md5 = text;
        md5Writes.push_back(md5);
    }
    void EmptyFile() { file.clear(); }
};

// Hands out the frequency and the given counter readings in turn, then 0.
struct FakeClock {
    int64_t frequency = 1000;
    std::deque<int64_t> readings{0, 0};
    int64_t Frequency() { return frequency; }
    int64_t Counter()
    {
        if (readings.empty())
            return 0;
        const int64_t reading = readings.front();
        readings.pop_front();
        return reading;
    }
};
