// CommitFrame: commits one FlexRay frame when its boolean trigger input shows the configured edge. The
// module sets up the trigger input and writes the parameter record plus the one integer work element that
// keeps the previous trigger value.
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class CommitFrame final : public BaseFcn {
  public:
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override { sampleTimeFromParameter(S); }
    void initializeForHost(HostBlock*) override {}
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock* S) override;
};

constexpr const char* kRecordFields[] = {"MaskType",    "ConfigValid", "TriggerType",
                                         "TriggerEdge", "FrameIndex",  "FrameLabel",
                                         "VXLInitFile", "VXLFile",     "DeviceIndex"};
// No common key field: the quoted values start 13 characters after the lead, the template files 14 and the
// bare values 15.
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted, 5},    {"TriggerType", Quote::Quoted, 2}, {"TriggerEdge", Quote::Quoted, 2},
    {"FrameIndex", Quote::Quoted, 3},  {"FrameLabel", Quote::Quoted, 3},  {"ConfigValid", Quote::Bare, 4},
    {"VXLInitFile", Quote::Quoted, 3}, {"VXLFile", Quote::Quoted, 7},     {"DeviceIndex", Quote::Bare, 4},
};
constexpr RecordTable kRecord{kRecordFields, kRecordKeys};

void CommitFrame::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 1) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    setTriggerInput(S, 0);
    if (setNumOutputPorts(S, 0)) {
        closingSetup(S, WorkVectors{.iwork = 1});
    }
}

void CommitFrame::writeQRXRecord(HostBlock* S) {
    if (writeParamRecord(S, kRecord, gRecordError) != 0) {
        ssWriteQRXWorkVect(S, "IWork", 1, "PreviousTriggerValue", 1);
    }
}

}  // namespace

std::unique_ptr<BaseFcn> makeCommitFrame() {
    return std::make_unique<CommitFrame>();
}

}  // namespace korlix
