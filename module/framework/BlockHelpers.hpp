// What every block class shares: reading dialog fields in order, the switch and placeholder-label tests,
// the parameter record as a table formatted by one helper, the common size set-up steps, and the checks
// before a stored list is written.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/ErrorBuffer.hpp"
#include "framework/HostInterface.hpp"

namespace korlix {

// ---- dialog fields ----

// A switch parameter is on only for exactly "on".
inline bool isSwitchOn(const std::string& text) {
    return text == "on";
}

// The label texts a dialog shows when it has no real PDU or frame to offer. Every kind knows
// "<No configuration data found>" and "<>"; the frame kinds also their own "no frame" text.
enum class Placeholders { Pdu, ReceiveFrame, TransmitFrame };
bool isPlaceholderLabel(const std::string& label, Placeholders kind);

// One field to read: its name and the text it goes into.
struct ParamRead {
    const char* name;
    std::string* value;
};
// Reads the fields in order and stops at the first failed lookup, which it reports through buffer.
// Answers true when all were read.
bool readParamsOrReport(HostBlock* S, std::initializer_list<ParamRead> reads, ErrorBuffer& buffer);

// Converts text with stringToUint32; a failure is reported through buffer.
bool toUint32OrReport(HostBlock* S, const std::string& text, uint32_t& value, ErrorBuffer& buffer);
// Reads one field into text and converts it with stringToUint32; either failure is reported through
// buffer.
bool readUint32OrReport(HostBlock* S, const char* name, std::string& text, uint32_t& value,
                        ErrorBuffer& buffer);

// Reads one number list with stringToUint32Vector; either failure is reported through buffer. `text`
// receives the field's text for the caller's own messages.
bool readUint32ListOrReport(HostBlock* S, const char* name, std::string& text, std::vector<uint32_t>& values,
                            ErrorBuffer& buffer);

// The texts of the fields a record shows, read by name.
class DialogTexts {
  public:
    // Reads the fields of a record in its reading order, stopping at the first failed lookup, which it
    // reports through buffer.
    bool read(HostBlock* S, const struct RecordTable& table, ErrorBuffer& buffer);
    // The text read (or set) for name; empty when there is none.
    const std::string& operator[](std::string_view name) const;
    // Gives name the text, replacing what was read: for the values a record derives from the dialog.
    void set(const char* name, std::string text);

  private:
    std::vector<std::pair<std::string_view, std::string>> texts_;
};

// ---- parameter records ----

inline constexpr const char* kRecordIndent = "        ";  // eight blanks lead a key line

enum class Quote : bool { Bare, Quoted };

// Which class of a read/write pair writes a key line, where the pair shares one table of key lines.
enum class Side { Both, Read, Write };

// One key line: lead, key, blanks, then the text of the dialog field of the key's name, quoted or bare.
struct RecordKey {
    const char* key;
    Quote quote;
    int blanks = 0;  // blanks after the key; 0: as many as fill the record's key field
    Side side = Side::Both;
    const char* lead = kRecordIndent;
};

// A block's parameter record: the fields it reads (in reading order, which decides the failure reported
// first; none given: the fields of its key lines in record order) and its key lines (in record order).
struct RecordTable {
    std::span<const char* const> reads;
    std::span<const RecordKey> keys;
    int keyField = 0;        // the width keys are padded to, where the record has one (at least one blank)
    Side side = Side::Both;  // the class of a pair this record is for: key lines of the other are left out

    bool shows(const RecordKey& line) const { return line.side == Side::Both || line.side == side; }
};

// A frame sent with "mixed" timing is recorded as an event frame: the record shows "event" for FrameTiming.
void recordMixedTimingAsEvent(DialogTexts& texts);

// "KORLIXSFunParameters {\n", the key lines, "      }\n". Never truncated.
std::string formatRecord(const RecordTable& table, const DialogTexts& texts);
// Reads the table's fields (a failure is reported through buffer and writes nothing), formats the record
// and hands it to ssWriteQRXString. Answers the writer's result, 0 when nothing was written.
int32_t writeParamRecord(HostBlock* S, const RecordTable& table, ErrorBuffer& buffer);
// The same with texts already read (and perhaps adjusted) by the caller.
int32_t writeParamRecord(HostBlock* S, const RecordTable& table, const DialogTexts& texts);

// ---- size set-up ----

// Sets the expected S-function parameter count to 2; when the host passed another number reports
// "2 input args expected, %d passed" through buffer and answers false.
bool checkTwoParams(HostBlock* S, ErrorBuffer& buffer);

// True when the block parameter structure (S-function parameter 0) holds no data.
bool isParamStructEmpty(HostBlock* S);

// The port count for `signals` signal ports and `extra` further ports. A count too large for the host's
// 32-bit port count is handed over as the largest count the host can be asked for, which it refuses like any
// other count it cannot serve: set-up then stops without a message.
inline int32_t signalPortCount(uint32_t signals, int32_t extra) {
    const int64_t count = static_cast<int64_t>(signals) + extra;
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

// The ports on one side of a block, for the classes whose signal ports are inputs in one twin and outputs
// in the other.
enum class PortSide { Inputs, Outputs };
bool setNumPorts(HostBlock* S, PortSide side, int32_t count);
void setPortWidth(HostBlock* S, PortSide side, int32_t port, int32_t width);
void setPortDataType(HostBlock* S, PortSide side, int32_t port, int32_t id);

// A scalar boolean input with direct feedthrough: the trigger input of the triggered blocks.
void setTriggerInput(HostBlock* S, int32_t port);

struct WorkVectors {
    int32_t iwork = 0;
    int32_t rwork = 0;
    int32_t pwork = 0;
};
// One sample time, the given work vector lengths and no nonsampled zero crossings: the sizes every size
// set-up starts from and most end with.
void setWorkSizes(HostBlock* S, WorkVectors work);

// How a class sets the modes count (size field 22).
enum class ModesField {
    Direct,           // written directly
    SetterOnly,       // only through the host's setter, when there is one
    SetterAndDirect,  // through the setter when there is one, and directly as well
};
// The closing set-up most classes end their size initialisation with: no states, the work sizes above, no
// modes, both S-function parameters not tunable, the set-up bits of the flag word, option word
// HB_OPTIONS_BLOCK.
void closingSetup(HostBlock* S, WorkVectors work, ModesField modes = ModesField::Direct);

// ---- stored lists in the record ----

// Before writing `count` elements of a stored list as parameter settings: when the list holds fewer values
// than count, reports through buffer that entry `entry` needs `count` values but the block holds `have`,
// and answers false; nothing may then be written from the list.
bool checkListCovers(HostBlock* S, ErrorBuffer& buffer, const char* entry, std::size_t have, uint32_t count);

// One parameter-settings section with the single entry `name`: the first `count` stored indexes as a vector
// of signed 32-bit integers, after checkListCovers. Answers the writer's result, 0 after a report.
int32_t writeIndexSettings(HostBlock* S, ErrorBuffer& buffer, const char* name,
                           const std::vector<uint32_t>& indexes, uint32_t count);

}  // namespace korlix
