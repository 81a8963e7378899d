// One block's host structure, the registration call and the callback calls, the record writers and the
// per-block report.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "HostInternal.hpp"

namespace quonix {

struct BlockInstance::Impl {
    std::set<std::string> fieldLookups;  // before params: outlives the structure that fills it
    // The dialog's field names when the module gets no structure that holds them.
    std::vector<std::string> unpassedNames;
    std::vector<ArrayPtr> params;
    std::vector<const zvArray*> paramPointers;
    std::vector<uint32_t> attributes;
    std::vector<HostInputPort> inputs;
    std::vector<HostOutputPort> outputs;
};

namespace {

// The S-function name every KORLIX block is registered under.
constexpr const char* kSFunctionName = "korlix_qvblk";

const char* callbackName(int flag) {
    switch (flag) {
        case HB_CALL_INITIALIZE_SAMPLE_TIMES:
            return "mdlInitializeSampleTimes";
        case HB_CALL_GET_TIME_OF_NEXT_VAR_HIT:
            return "mdlGetTimeOfNextVarHit";
        case HB_CALL_OUTPUTS:
            return "mdlOutputs";
        case HB_CALL_TERMINATE:
            return "mdlTerminate";
        case HB_CALL_ZERO_CROSSINGS:
            return "mdlZeroCrossings";
        case HB_CALL_START:
            return "mdlStart";
        case HB_CALL_QRX:
            return "mdlQRX";
        default:
            return nullptr;
    }
}

// Marks the block whose calls are running, for the trace; restores the outer one on the way out.
class CurrentBlock {
  public:
    explicit CurrentBlock(const std::string& name) : outer_(detail::currentBlockName()) {
        detail::setCurrentBlockName(&name);
    }
    ~CurrentBlock() { detail::setCurrentBlockName(outer_); }
    CurrentBlock(const CurrentBlock&) = delete;
    CurrentBlock& operator=(const CurrentBlock&) = delete;

  private:
    const std::string* outer_;
};

// Calls the module's entry; a raised error or an escaping C++ exception comes back as its text.
std::optional<std::string> callEntry(const std::string& block, const char* callback, zupFunctionType entry,
                                     int nLeft, zvArray* left[], int nRight, const zvArray* right[]) {
    const detail::ModuleCall moduleCall(block, callback);
    try {
        entry(nLeft, left, nRight, right);
    } catch (const detail::RaisedError& raised) {
        return raised.text;
    } catch (const std::exception& unexpected) {
        // Not part of the boundary's contract; shown as the block's error rather than ending the host.
        return std::string("module let an exception escape: ") + unexpected.what();
    }
    return std::nullopt;
}

// ---- record pair values ----

std::size_t elementSize(int32_t type) {
    static constexpr std::size_t sizes[HB_DTYPE_COUNT] = {8, 4, 1, 1, 2, 2, 4, 4, 1};
    return type >= 0 && type < HB_DTYPE_COUNT ? sizes[type] : 0;
}

nlohmann::json readElement(const void* data, int32_t type, std::size_t index) {
    const auto* bytes = static_cast<const unsigned char*>(data) + index * elementSize(type);
    auto load = [bytes](auto value) {
        std::memcpy(&value, bytes, sizeof value);
        return value;
    };
    switch (type) {
        case HB_DTYPE_DOUBLE:
            return load(double{});
        case HB_DTYPE_SINGLE:
            return static_cast<double>(load(float{}));
        case HB_DTYPE_INT8:
            return load(int8_t{});
        case HB_DTYPE_UINT8:
            return load(uint8_t{});
        case HB_DTYPE_INT16:
            return load(int16_t{});
        case HB_DTYPE_UINT16:
            return load(uint16_t{});
        case HB_DTYPE_INT32:
            return load(int32_t{});
        case HB_DTYPE_UINT32:
            return load(uint32_t{});
        default:
            return load(uint8_t{});  // boolean: one byte, shown as 0 or 1
    }
}

// count elements at data, element i at position first + i * stride, shaped as a scalar, a vector or a
// matrix (rows of the column-major data).
nlohmann::json shape(const void* data, int32_t type, int32_t rows, int32_t columns, bool matrix, bool scalar,
                     std::size_t first, std::size_t stride) {
    std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (scalar && count > 0) {
        return readElement(data, type, first);
    }
    nlohmann::json out = nlohmann::json::array();
    if (matrix) {
        for (int32_t r = 0; r < rows; ++r) {
            nlohmann::json row = nlohmann::json::array();
            for (int32_t c = 0; c < columns; ++c) {
                std::size_t index = static_cast<std::size_t>(c) * static_cast<std::size_t>(rows) +
                                    static_cast<std::size_t>(r);
                row.push_back(readElement(data, type, first + index * stride));
            }
            out.push_back(std::move(row));
        }
        return out;
    }
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(readElement(data, type, first + i * stride));
    }
    return out;
}

// The pair's value as the report shows it; false when the host cannot read it (unknown kind or data type,
// negative dimensions, null data).
bool pairValue(int32_t kind, const void* value, int32_t dataTypeId, int32_t rows, int32_t columns,
               nlohmann::json& out) {
    if (kind < HB_VALUE_STR || kind > HB_VALUE_DTYPE_ML_2DMAT || rows < 0 || columns < 0) {
        return false;
    }
    std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (kind <= HB_VALUE_QSTR) {
        if (value == nullptr) {
            return false;
        }
        out = static_cast<const char*>(value);
        return true;
    }
    if (count > 0 && value == nullptr) {
        return false;
    }
    if (kind == HB_VALUE_VECT_STR) {
        out = nlohmann::json::array();
        const auto* texts = static_cast<const char* const*>(value);
        for (std::size_t i = 0; i < count; ++i) {
            if (texts[i] == nullptr) {
                return false;
            }
            out.push_back(texts[i]);
        }
        return true;
    }
    bool matrix = kind == HB_VALUE_2DMAT || kind == HB_VALUE_DTYPE_2DMAT || kind == HB_VALUE_DTYPE_ML_2DMAT;
    bool scalar = kind == HB_VALUE_NUM || kind == HB_VALUE_DTYPE_NUM;
    if (kind <= HB_VALUE_2DMAT) {
        out = shape(value, HB_DTYPE_DOUBLE, rows, columns, matrix, scalar, 0, 1);  // always doubles
        return true;
    }
    int32_t type = dataTypeId & ~HB_DTYPE_COMPLEX_BIT;
    bool complex = (dataTypeId & HB_DTYPE_COMPLEX_BIT) != 0;
    if (elementSize(type) == 0 && count > 0) {
        return false;
    }
    if (kind <= HB_VALUE_DTYPE_2DMAT) {
        if (!complex) {
            out = shape(value, type, rows, columns, matrix, scalar, 0, 1);
        } else {
            out = {{"re", shape(value, type, rows, columns, matrix, scalar, 0, 2)},
                   {"im", shape(value, type, rows, columns, matrix, scalar, 1, 2)}};
        }
        return true;
    }
    // Kinds 9 and 10: separate real and imaginary parts; the imaginary part is read only for complex data.
    const auto* parts = static_cast<const void* const*>(value);
    if (parts == nullptr) {
        // An empty value may come without its pair of parts; anything else needs them.
        if (count > 0) {
            return false;
        }
        static const void* const kNoParts[2] = {nullptr, nullptr};
        parts = kNoParts;
    }
    if (count > 0 && (parts[0] == nullptr || (complex && parts[1] == nullptr))) {
        return false;
    }
    if (!complex) {
        out = shape(parts[0], type, rows, columns, matrix, false, 0, 1);
    } else {
        out = {{"re", shape(parts[0], type, rows, columns, matrix, false, 0, 1)},
               {"im", shape(parts[1], type, rows, columns, matrix, false, 0, 1)}};
    }
    return true;
}

nlohmann::json dataTypeName(int32_t id) {
    static constexpr const char* names[HB_DTYPE_COUNT] = {"double", "single", "int8",   "uint8",  "int16",
                                                          "uint16", "int32",  "uint32", "boolean"};
    return id >= 0 && id < HB_DTYPE_COUNT ? nlohmann::json(names[id]) : nlohmann::json();
}

}  // namespace

// The host's functions in the structure; each finds its BlockInstance through hostData or the context.
struct BlockInstanceAccess {
    static BlockInstance& of(HostBlock* block) { return *static_cast<BlockInstance*>(block->hostData); }

    // A refusal the settings make the block's error: a real host that cannot take a call says so.
    static int refuse(BlockInstance& self, std::string why) {
        if (self.settings_.refusalsAreErrors && !self.hostError_) {
            self.hostError_ = std::move(why);
        }
        return 0;
    }

    // Whether the model's budget takes `count` more ports in place of `old`; a refusal is kept as the
    // block's error.
    static bool portsFit(BlockInstance& self, std::size_t old, int32_t count) {
        ModelBudget* budget = self.settings_.budget;
        if (budget == nullptr) {
            return true;
        }
        const std::size_t others = budget->ports - old;
        if (static_cast<std::size_t>(count) > budget->maxPorts - std::min(others, budget->maxPorts)) {
            self.hostError_ = "the model's blocks would have more than " + std::to_string(budget->maxPorts) +
                              " ports in all (this block asked for " + std::to_string(count) + ")";
            return false;
        }
        budget->ports = others + static_cast<std::size_t>(count);
        return true;
    }

    // A port setter: refuses a negative count, one above the host's limit, one the model's budget cannot
    // take, or any when the call was made to fail. A refusal answers 0 and, when the settings say so, is the
    // block's error.
    template <typename Port>
    static int setPorts(HostBlock* block, int32_t count, const char* call, const char* side,
                        std::vector<Port>& ports, Port preset, int sizeField, Port*& field) {
        const detail::HostCall hostCall(call);
        BlockInstance& self = of(block);
        const std::string asked = std::to_string(count) + " " + side + " ports";
        if (hostCall.failed() || count < 0 || count > self.settings_.maxPorts) {
            return refuse(self, hostCall.failed() ? std::string(call) + " failed for " + asked
                                                  : "the host refused " + asked + " (it allows 0 to " +
                                                        std::to_string(self.settings_.maxPorts) + ")");
        }
        if (!portsFit(self, ports.size(), count)) {
            return 0;
        }
        ports.assign(static_cast<std::size_t>(count), preset);
        block->sizes[sizeField] = count;
        field = count > 0 ? ports.data() : nullptr;
        return 1;
    }

    static int setNumInputPorts(HostBlock* block, int32_t count) {
        return setPorts(block, count, "setNumInputPorts", "input", of(block).impl_->inputs,
                        HostInputPort{-1, 0, -1, 0}, HB_SIZE_NUM_INPUTS, block->inputs);
    }

    static int setNumOutputPorts(HostBlock* block, int32_t count) {
        return setPorts(block, count, "setNumOutputPorts", "output", of(block).impl_->outputs,
                        HostOutputPort{-1, -1}, HB_SIZE_NUM_OUTPUTS, block->outputs);
    }

    static void setNumModes(HostBlock* block, int32_t value) { block->sizes[HB_SIZE_NUM_MODES] = value; }

    static int callMethod(HostBlock* block, int32_t method, int32_t /*a*/, void* b) {
        const detail::HostCall call("callMethod");
        BlockInstance& self = of(block);
        if (call.failed()) {
            return 0;
        }
        if (method == HB_METHOD_GET_BLOCK_HANDLE && b != nullptr) {
            *static_cast<double*>(b) = self.spec_.handle;
            return 1;
        }
        if (method == HB_METHOD_REGISTRATION_HOOK) {
            if (trace().enabled()) {
                trace().add({{"call", "callMethod"}, {"method", method}, {"block", self.spec_.name}});
            }
            return 1;
        }
        return 0;
    }

    // Whether the model's record budget takes `bytes` more; a refusal is kept as the block's error.
    static bool recordFits(BlockInstance& self, std::size_t bytes) {
        ModelBudget* budget = self.settings_.budget;
        if (budget == nullptr) {
            return true;
        }
        if (bytes > budget->maxRecordBytes - std::min(budget->recordBytes, budget->maxRecordBytes)) {
            self.hostError_ = "the model's record would be larger than " +
                              std::to_string(budget->maxRecordBytes >> 20) + " MiB in all";
            return false;
        }
        budget->recordBytes += bytes;
        return true;
    }

    static int32_t writeText(void* context, const char* text) {
        const detail::HostCall call("writeRecordText");
        auto& self = *static_cast<BlockInstance*>(context);
        if (call.failed() || text == nullptr) {
            return refuse(self, call.failed() ? "writeRecordText failed"
                                              : "the host refused a record text that is no text");
        }
        if (!recordFits(self, std::strlen(text))) {
            return 0;
        }
        self.record_.push_back({{"text", text}});
        return self.writerResult_;
    }

    // A pair the host cannot read is refused (answer 0) and not recorded.
    static int32_t writePair(void* context, int32_t kind, const char* name, const void* value,
                             int32_t dataTypeId, int32_t rows, int32_t columns) {
        const detail::HostCall call("writeRecordPair");
        auto& self = *static_cast<BlockInstance*>(context);
        const std::string shownName = name != nullptr ? name : "(no name)";
        if (call.failed()) {
            return refuse(self, "writeRecordPair failed for " + shownName);
        }
        // The value's size is known from its shape before it is read; the budget is asked first.
        const std::size_t elements =
            rows > 0 && columns > 0 ? static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns) : 1;
        if (!recordFits(self, shownName.size() + elements * 8)) {
            return 0;
        }
        nlohmann::json shown;
        if (name == nullptr || !pairValue(kind, value, dataTypeId, rows, columns, shown)) {
            return refuse(self,
                          "the host refused the record pair " + shownName + ": its value cannot be read");
        }
        self.record_.push_back({{"pair",
                                 {{"kind", kind},
                                  {"name", name},
                                  {"value", std::move(shown)},
                                  {"dataTypeId", dataTypeId},
                                  {"rows", rows},
                                  {"columns", columns}}}});
        return self.writerResult_;
    }

    // The host reads the root's error status after every call; a non-empty text ends the block's life.
    static void takeErrorStatus(BlockInstance& self, const std::string& callback) {
        if (self.hostError_) {
            // The module saw only a refusal; the host names what it refused and why.
            self.error_ = std::move(self.hostError_);
            self.hostError_.reset();
            self.errorCallback_ = callback;
            return;
        }
        const HostBlock* root = self.block_->root != nullptr ? self.block_->root : self.block_.get();
        if (root->errorStatus == nullptr || root->errorStatus[0] == '\0') {
            return;
        }
        self.error_ = root->errorStatus;
        self.errorCallback_ = callback;
        if (trace().enabled()) {
            trace().add({{"call", "setErrorStatus"}, {"block", self.spec_.name}, {"text", *self.error_}});
        }
    }

    static void installWriters(BlockInstance& self, bool on) {
        self.block_->writeRecordText = on ? &writeText : nullptr;
        self.block_->writeRecordPair = on ? &writePair : nullptr;
        self.block_->recordContext = on ? &self : nullptr;
    }
};

BlockInstance::BlockInstance(BlockSpec description, const HostSettings& settings)
    : spec_(std::move(description)),
      settings_(settings),
      block_(std::make_unique<HostBlock>()),
      impl_(std::make_unique<Impl>()) {
    HostBlock& b = *block_;  // value-initialised: every field and the whole size record start at 0
    b.name = kSFunctionName;
    b.root = &b;
    b.hostData = this;
    modelInfo_.simulationMode = settings_.sizesOnly ? HB_SIM_MODE_SIZES_ONLY : HB_SIM_MODE_NORMAL;
    b.modelInfo = &modelInfo_;
    b.setNumInputPorts = &BlockInstanceAccess::setNumInputPorts;
    b.setNumOutputPorts = &BlockInstanceAccess::setNumOutputPorts;
    b.callMethod = &BlockInstanceAccess::callMethod;
    b.supportsRegistrationHook = settings_.supportsRegistrationHook ? 1 : 0;
    b.setNumModes = settings_.provideSetNumModes ? &BlockInstanceAccess::setNumModes : nullptr;

    // The dialog goes into the structure the module reads; the description keeps no second copy.
    const std::optional<std::vector<ParamField>> fields = std::exchange(spec_.parameters, std::nullopt);
    int count = spec_.parameterCount < 0 ? 0 : spec_.parameterCount;
    if (count >= 1) {
        ArrayPtr structure;
        if (!fields) {
            structure.reset(zvCreateStructMatrix(0, 0, 0, nullptr));
        } else {
            std::vector<const char*> names;
            for (const ParamField& field : *fields) {
                names.push_back(field.name.c_str());
            }
            structure.reset(zvCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data()));
            if (!structure) {
                throw std::invalid_argument("block '" + spec_.name +
                                            "': parameter field names must be non-empty and distinct");
            }
            for (std::size_t i = 0; i < fields->size(); ++i) {
                const ParamField& field = (*fields)[i];
                zvSetFieldByNumber(
                    structure.get(), 0, static_cast<int>(i),
                    field.text ? detail::createCharArray(*field.text) : zvCreateDoubleScalar(0.0));
            }
        }
        structure->fieldLookups = &impl_->fieldLookups;
        impl_->params.push_back(std::move(structure));
    } else if (fields) {
        for (const ParamField& field : *fields) {
            impl_->unpassedNames.push_back(field.name);
        }
    }
    if (count >= 2) {
        impl_->params.emplace_back(zvCreateDoubleScalar(spec_.sampleTime));
    }
    for (int i = 2; i < count; ++i) {
        impl_->params.emplace_back(zvCreateDoubleScalar(0.0));
    }
    for (const ArrayPtr& param : impl_->params) {
        impl_->paramPointers.push_back(param.get());
    }
    impl_->attributes.assign(impl_->params.size(), 0U);
    b.numSFcnParams = static_cast<int32_t>(impl_->params.size());
    b.sfcnParams = impl_->params.empty() ? nullptr : impl_->paramPointers.data();
    b.sfcnParamAttributes = impl_->params.empty() ? nullptr : impl_->attributes.data();
}

BlockInstance::~BlockInstance() = default;

const std::set<std::string>& BlockInstance::fieldLookups() const {
    return impl_->fieldLookups;
}

const std::vector<std::string>& BlockInstance::parameterNames() const {
    return impl_->params.empty() ? impl_->unpassedNames : impl_->params.front()->fieldNames;
}

void BlockInstance::registration(zupFunctionType entry) {
    if (error_ || entry == nullptr) {
        return;
    }
    CurrentBlock current(spec_.name);
    if (trace().enabled()) {
        trace().add({{"callback", "mdlInitializeSizes"}, {"block", spec_.name}});
    }
    ArrayPtr empty0(zvCreateDoubleMatrix(0, 0, zvREAL));
    ArrayPtr structure(zvCreateDoubleMatrix(2, 1, zvREAL));
    ArrayPtr empty2(zvCreateDoubleMatrix(0, 0, zvREAL));
    ArrayPtr flag(zvCreateDoubleScalar(0.0));
    zvGetPr(structure.get())[0] = static_cast<double>(reinterpret_cast<std::uintptr_t>(block_.get()));
    zvGetPr(structure.get())[1] = static_cast<double>(HOST_BLOCK_VERSION);
    const zvArray* right[4] = {empty0.get(), structure.get(), empty2.get(), flag.get()};
    zvArray* left[1] = {nullptr};

    std::optional<std::string> raised = callEntry(spec_.name, "mdlInitializeSizes", entry, 1, left, 4, right);
    trace().endCallback("mdlInitializeSizes", spec_.name);

    ArrayPtr sizes(left[0]);
    sizeVector_.clear();
    if (zvIsNumeric(sizes.get()) != 0) {
        const double* values = zvGetPr(sizes.get());
        sizeVector_.assign(values, values + zvGetNumberOfElements(sizes.get()));
    }
    if (raised) {
        error_ = std::move(raised);
        errorCallback_ = "registration";
        return;
    }
    BlockInstanceAccess::takeErrorStatus(*this, "mdlInitializeSizes");
}

void BlockInstance::callback(zupFunctionType entry, int flag) {
    if (error_ || entry == nullptr) {
        return;
    }
    // Flags without a callback of their own are named by number ("flag 112") in the trace and the report.
    const char* known = callbackName(flag);
    std::string name = known != nullptr ? known : "flag " + std::to_string(flag);
    CurrentBlock current(spec_.name);
    if (trace().enabled()) {
        trace().add({{"callback", name}, {"block", spec_.name}});
    }
    ArrayPtr empty0(zvCreateDoubleMatrix(0, 0, zvREAL));
    ArrayPtr empty1(zvCreateDoubleMatrix(0, 0, zvREAL));
    ArrayPtr empty2(zvCreateDoubleMatrix(0, 0, zvREAL));
    ArrayPtr flagArray(zvCreateDoubleScalar(static_cast<double>(flag)));
    const zvArray* right[4] = {empty0.get(), empty1.get(), empty2.get(), flagArray.get()};
    zvArray* left[2] = {nullptr, reinterpret_cast<zvArray*>(block_.get())};

    bool generating = flag == HB_CALL_QRX;
    if (generating) {
        // The record shows the last code generation of this model update.
        record_.clear();
        BlockInstanceAccess::installWriters(*this, true);
    }
    std::optional<std::string> raised = callEntry(spec_.name, name.c_str(), entry, -1, left, 4, right);
    trace().endCallback(name, spec_.name);
    if (generating) {
        BlockInstanceAccess::installWriters(*this, false);
    }
    zvDestroyArray(left[0]);  // slot 0 is not used by callbacks; anything left there is released

    if (raised) {
        error_ = std::move(raised);
        errorCallback_ = name;
        return;
    }
    BlockInstanceAccess::takeErrorStatus(*this, name);
}

void BlockInstance::beginRecordCapture() {
    record_.clear();
    BlockInstanceAccess::installWriters(*this, true);
}

void BlockInstance::endRecordCapture() {
    BlockInstanceAccess::installWriters(*this, false);
}

nlohmann::ordered_json BlockInstance::report(bool withRecord, bool deleted) const {
    using Json = nlohmann::ordered_json;
    const HostBlock& b = *block_;
    // Keys in the order a reader looks for them: identity, outcome, ports and timing, then the details.
    Json inputs = Json::array();
    for (const HostInputPort& port : impl_->inputs) {
        inputs.push_back({{"width", port.width},
                          {"dataTypeId", port.dataTypeId},
                          {"dataType", dataTypeName(port.dataTypeId)},
                          {"directFeedThrough", port.directFeedThrough != 0},
                          {"attributes", port.attributes}});
    }
    Json outputs = Json::array();
    for (const HostOutputPort& port : impl_->outputs) {
        outputs.push_back({{"width", port.width},
                           {"dataTypeId", port.dataTypeId},
                           {"dataType", dataTypeName(port.dataTypeId)}});
    }
    Json record = Json::array();
    for (std::size_t i = 0; withRecord && i < record_.size(); ++i) {
        const RecordEntry& entry = record_[i];
        if (!entry.contains("pair")) {
            record.push_back(Json(entry));
            continue;
        }
        Json pair = Json::object();
        for (const char* key : {"kind", "name", "value", "dataTypeId", "rows", "columns"}) {
            pair[key] = Json(entry["pair"][key]);
        }
        record.push_back({{"pair", std::move(pair)}});
    }
    Json out = {{"name", spec_.name},
                {"handle", spec_.handle},
                {"maskType", spec_.maskType ? Json(*spec_.maskType) : Json()}};
    if (deleted) {
        out["deleted"] = true;
    }
    out["error"] = error_ ? Json(*error_) : Json();
    out["errorCallback"] = error_ ? Json(errorCallback_) : Json();
    out["inputs"] = std::move(inputs);
    out["outputs"] = std::move(outputs);
    out["sampleTime"] = {{"period", b.sampleTime}, {"offset", b.sampleOffset}};
    out["sizes"] = {{"numContStates", b.sizes[HB_SIZE_NUM_CONT_STATES]},
                    {"numDiscStates", b.sizes[HB_SIZE_NUM_DISC_STATES]},
                    {"numSampleTimes", b.sizes[HB_SIZE_NUM_SAMPLE_TIMES]},
                    {"numSFcnParams", b.sizes[HB_SIZE_NUM_SFCN_PARAMS]},
                    {"numIWork", b.sizes[HB_SIZE_NUM_IWORK]},
                    {"numRWork", b.sizes[HB_SIZE_NUM_RWORK]},
                    {"numPWork", b.sizes[HB_SIZE_NUM_PWORK]},
                    {"numModes", b.sizes[HB_SIZE_NUM_MODES]},
                    {"numNonsampledZCs", b.sizes[HB_SIZE_NUM_NONSAMPLED_ZCS]}};
    out["flagWord"] = static_cast<uint32_t>(b.sizes[HB_SIZE_FLAGS]);
    out["optionWord"] = static_cast<uint32_t>(b.sizes[HB_SIZE_OPTIONS]);
    out["parameterAttributes"] = Json(impl_->attributes);
    out["record"] = std::move(record);
    return out;
}

}  // namespace quonix
