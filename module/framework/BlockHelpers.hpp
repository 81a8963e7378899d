// Helpers every block class shares: reporting through an operation's own message buffer, reading parameters
// in order, the switch test, the parameter record formatter and the common set-up steps.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/HostInterface.hpp"

namespace korlix {

// A message buffer owned by one operation of one class for the life of the module (declare it static at
// namespace scope in the class's source). The host reads the text after the callback has returned, so the
// text must live here, not in a temporary.
class ErrorBuffer {
  public:
    static constexpr std::size_t kSize = 1024;
    // Copies text (at most 1023 characters) into the buffer and hands the buffer to setErrorStatus.
    void report(HostBlock* S, const std::string& text);
    // Formats straight into the buffer (cut at 1023 characters, always terminated) and reports it.
    void reportf(HostBlock* S, const char* format, ...) __attribute__((format(printf, 3, 4)));
    const char* text() const { return buffer_; }

  private:
    char buffer_[kSize] = {};
};

// A switch parameter is on only for exactly "on".
inline bool isSwitchOn(const std::string& text) {
    return text == "on";
}

// One parameter to read: its name and the text it goes into.
struct ParamRead {
    const char* name;
    std::string* value;
};
// Reads the parameters in order with one shared error text (which should start empty) and stops at the
// first failure. Returns true when all were read; otherwise errorText holds the failure.
bool readParams(HostBlock* S, std::initializer_list<ParamRead> reads, std::string& errorText);
// Same, and on failure reports errorText through buffer. Returns true when all were read.
bool readParamsOrReport(HostBlock* S, std::initializer_list<ParamRead> reads, ErrorBuffer& buffer);

// One key line of a parameter record: indent, key, `blanks` blanks, then the value, quoted or bare.
struct RecordLine {
    const char* key;
    int blanks;
    bool quoted;
    const std::string& value;
    const char* indent = "        ";  // eight blanks; a few lines use another lead
};
// The whole record: "KORLIXSFunParameters {\n", the key lines, "      }\n". Never truncated.
std::string formatRecord(std::initializer_list<RecordLine> lines);
// Blanks that fill a key up to a field of `width` characters (at least one blank).
inline int fieldBlanks(const char* key, int width) {
    int n = width - static_cast<int>(std::char_traits<char>::length(key));
    return n > 0 ? n : 1;
}

// Sets the expected S-function parameter count to 2; when the host passed another number reports
// "2 input args expected, %d passed" through buffer and answers false.
bool checkTwoParams(HostBlock* S, ErrorBuffer& buffer);

// The port count for `signals` signal ports and `extra` further ports. A count too large for the host's
// 32-bit port count is handed over as the largest count the host can be asked for, which it refuses like any
// other count it cannot serve: set-up then stops without a message.
inline int32_t signalPortCount(uint32_t signals, int32_t extra) {
    const int64_t count = static_cast<int64_t>(signals) + extra;
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

// True when the block parameter structure (S-function parameter 0) holds no data.
bool isParamStructEmpty(HostBlock* S);

// The closing set-up most classes end their size initialisation with: both state counts 0, one sample
// time, the given work vector lengths, size field 20 set to 0, size field 22 set to 0 as `modes` says, both
// S-function parameters not tunable, flag bits 0x680000 cleared and 0x100000 set, option word 0x280020.
struct WorkVectors {
    int32_t iwork = 0;
    int32_t rwork = 0;
    int32_t pwork = 0;
};
enum class ModesField {
    Direct,           // written directly
    SetterOnly,       // only through the host's setter, when there is one
    SetterAndDirect,  // through the setter when there is one, and directly as well
};
void closingSetup(HostBlock* S, WorkVectors work, ModesField modes = ModesField::Direct);

// Before writing `count` elements of a stored list as parameter settings: when the list holds fewer values
// than count, reports through buffer that entry `entry` needs `count` values but the block holds `have`,
// and answers false; nothing may then be written from the list.
bool checkListCovers(HostBlock* S, ErrorBuffer& buffer, const char* entry, std::size_t have, uint32_t count);

}  // namespace korlix
