// Helpers shared by the block classes.
#include "framework/BlockHelpers.hpp"

#include <algorithm>
#include <string>

#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

bool isPlaceholderLabel(const std::string& label, Placeholders kind) {
    if (label == "<No configuration data found>" || label == "<>") {
        return true;
    }
    switch (kind) {
        case Placeholders::ReceiveFrame:
            return label == "<No receive frame found>";
        case Placeholders::TransmitFrame:
            return label == "<No transmit frame found>";
        case Placeholders::Pdu:
            break;
    }
    return false;
}

bool readParamsOrReport(HostBlock* S, std::initializer_list<ParamRead> reads, ErrorBuffer& buffer) {
    std::string errorText;
    for (const ParamRead& read : reads) {
        getSFcnParamString(S, read.name, *read.value, errorText);
        if (!errorText.empty()) {
            buffer.report(S, errorText);
            return false;
        }
    }
    return true;
}

bool readUint32OrReport(HostBlock* S, const char* name, std::string& text, uint32_t& value,
                        ErrorBuffer& buffer) {
    return readParamsOrReport(S, {{name, &text}}, buffer) && toUint32OrReport(S, text, value, buffer);
}

bool toUint32OrReport(HostBlock* S, const std::string& text, uint32_t& value, ErrorBuffer& buffer) {
    std::string errorText;
    stringToUint32(text, value, errorText);
    if (!errorText.empty()) {
        buffer.report(S, errorText);
        return false;
    }
    return true;
}

bool readUint32ListOrReport(HostBlock* S, const char* name, std::string& text, std::vector<uint32_t>& values,
                            ErrorBuffer& buffer) {
    if (!readParamsOrReport(S, {{name, &text}}, buffer)) {
        return false;
    }
    std::string errorText;
    stringToUint32Vector(text, values, errorText);
    if (!errorText.empty()) {
        buffer.report(S, errorText);
        return false;
    }
    return true;
}

bool DialogTexts::read(HostBlock* S, const RecordTable& table, ErrorBuffer& buffer) {
    texts_.clear();
    std::vector<const char*> names(table.reads.begin(), table.reads.end());
    if (names.empty()) {
        for (const RecordKey& line : table.keys) {
            if (table.shows(line)) {
                names.push_back(line.key);
            }
        }
    }
    std::string errorText;
    for (const char* name : names) {
        std::string value;
        getSFcnParamString(S, name, value, errorText);
        if (!errorText.empty()) {
            buffer.report(S, errorText);
            return false;
        }
        texts_.emplace_back(name, std::move(value));
    }
    return true;
}

const std::string& DialogTexts::operator[](std::string_view name) const {
    static const std::string kNone;
    const auto it =
        std::find_if(texts_.begin(), texts_.end(), [name](const auto& t) { return t.first == name; });
    return it != texts_.end() ? it->second : kNone;
}

void DialogTexts::set(const char* name, std::string text) {
    const auto it =
        std::find_if(texts_.begin(), texts_.end(), [name](const auto& t) { return t.first == name; });
    if (it != texts_.end()) {
        it->second = std::move(text);
    } else {
        texts_.emplace_back(name, std::move(text));
    }
}

void recordMixedTimingAsEvent(DialogTexts& texts) {
    if (texts["FrameTiming"] == "mixed") {
        texts.set("FrameTiming", "event");
    }
}

namespace {

std::size_t blanksAfter(const RecordKey& line, int keyField) {
    if (line.blanks > 0) {
        return static_cast<std::size_t>(line.blanks);
    }
    const std::size_t length = std::char_traits<char>::length(line.key);
    const auto field = static_cast<std::size_t>(std::max(keyField, 0));
    return field > length ? field - length : 1;
}

}  // namespace

std::string formatRecord(const RecordTable& table, const DialogTexts& texts) {
    std::string record = "KORLIXSFunParameters {\n";
    for (const RecordKey& line : table.keys) {
        if (!table.shows(line)) {
            continue;
        }
        const char* quote = line.quote == Quote::Quoted ? "\"" : "";
        record.append(line.lead).append(line.key).append(blanksAfter(line, table.keyField), ' ');
        record.append(quote).append(texts[line.key]).append(quote).append("\n");
    }
    record += "      }\n";
    return record;
}

int32_t writeParamRecord(HostBlock* S, const RecordTable& table, const DialogTexts& texts) {
    return ssWriteQRXString(S, formatRecord(table, texts).c_str());
}

int32_t writeParamRecord(HostBlock* S, const RecordTable& table, ErrorBuffer& buffer) {
    DialogTexts texts;
    if (!texts.read(S, table, buffer)) {
        return 0;
    }
    return writeParamRecord(S, table, texts);
}

bool checkTwoParams(HostBlock* S, ErrorBuffer& buffer) {
    setSizeField(S, HB_SIZE_NUM_SFCN_PARAMS, 2);
    const int32_t passed = getNumSFcnParams(S);
    if (passed != 2) {
        buffer.reportf(S, "2 input args expected, %d passed", static_cast<int>(passed));
        return false;
    }
    return true;
}

bool isParamStructEmpty(HostBlock* S) {
    const zvArray* params = getSFcnParam(S, 0);
    return params == nullptr || zvIsEmpty(params) != 0;
}

bool setNumPorts(HostBlock* S, PortSide side, int32_t count) {
    return side == PortSide::Inputs ? setNumInputPorts(S, count) : setNumOutputPorts(S, count);
}

void setPortWidth(HostBlock* S, PortSide side, int32_t port, int32_t width) {
    if (side == PortSide::Inputs) {
        setInputPortWidth(S, port, width);
    } else {
        setOutputPortWidth(S, port, width);
    }
}

void setPortDataType(HostBlock* S, PortSide side, int32_t port, int32_t id) {
    if (side == PortSide::Inputs) {
        setInputPortDataType(S, port, id);
    } else {
        setOutputPortDataType(S, port, id);
    }
}

void setTriggerInput(HostBlock* S, int32_t port) {
    setInputPortWidth(S, port, 1);
    setInputPortDataType(S, port, HB_DTYPE_BOOLEAN);
    setInputPortDirectFeedThrough(S, port, true);
}

void setWorkSizes(HostBlock* S, WorkVectors work) {
    setSizeField(S, HB_SIZE_NUM_SAMPLE_TIMES, 1);
    setSizeField(S, HB_SIZE_NUM_IWORK, work.iwork);
    setSizeField(S, HB_SIZE_NUM_RWORK, work.rwork);
    setSizeField(S, HB_SIZE_NUM_PWORK, work.pwork);
    setSizeField(S, HB_SIZE_NUM_NONSAMPLED_ZCS, 0);
}

void closingSetup(HostBlock* S, WorkVectors work, ModesField modes) {
    setSizeField(S, HB_SIZE_NUM_CONT_STATES, 0);
    setSizeField(S, HB_SIZE_NUM_DISC_STATES, 0);
    setWorkSizes(S, work);
    if (modes != ModesField::Direct) {
        setNumModesThroughHost(S, 0);
    }
    if (modes != ModesField::SetterOnly) {
        setSizeField(S, HB_SIZE_NUM_MODES, 0);
    }
    setSFcnParamNotTunable(S, 0);
    setSFcnParamNotTunable(S, 1);
    changeFlags(S, HB_FLAGS_CLEARED_BY_SETUP, HB_FLAG_SETUP_DONE);
    setOptions(S, HB_OPTIONS_BLOCK);
}

bool checkListCovers(HostBlock* S, ErrorBuffer& buffer, const char* entry, std::size_t have, uint32_t count) {
    if (have >= count) {
        return true;
    }
    buffer.reportf(
        S,
        "Cannot write %s: the block holds %zu values but its signal count is %u; initialise the block again",
        entry, have, static_cast<unsigned>(count));
    return false;
}

int32_t writeIndexSettings(HostBlock* S, ErrorBuffer& buffer, const char* name,
                           const std::vector<uint32_t>& indexes, uint32_t count) {
    if (!checkListCovers(S, buffer, name, indexes.size(), count)) {
        return 0;
    }
    // The writer reads the unsigned indexes as the signed 32-bit integers the id names.
    return ssWriteQRXParamSettings(S, 1, int32_t{HB_VALUE_DTYPE_VECT}, name,
                                   static_cast<const void*>(indexes.data()), static_cast<int32_t>(count),
                                   int32_t{HB_DTYPE_INT32});
}

}  // namespace korlix
