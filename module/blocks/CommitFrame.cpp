// CommitFrame: commits one FlexRay frame when its boolean trigger input shows the configured edge. The
// module sets up the trigger input and writes the parameter record plus the one integer work element that
// keeps the previous trigger value.
#include <string>

#include "blocks/BlockFactories.hpp"
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

void CommitFrame::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 1)) {
        return;
    }
    if (!checkTwoParams(S, gSizesError)) {
        return;
    }
    setInputPortWidth(S, 0, 1);
    setInputPortDataType(S, 0, kBoolean);
    setInputPortDirectFeedThrough(S, 0, true);
    if (!setNumOutputPorts(S, 0)) {
        return;
    }
    closingSetup(S, WorkVectors{.iwork = 1, .rwork = 0, .pwork = 0}, ModesField::Direct);
}

void CommitFrame::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, triggerType, triggerEdge, frameIndex, frameLabel, vxlInitFile, vxlFile,
        deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"TriggerType", &triggerType},
                             {"TriggerEdge", &triggerEdge},
                             {"FrameIndex", &frameIndex},
                             {"FrameLabel", &frameLabel},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex}},
                            gRecordError)) {
        return;
    }
    // This record has no common key field: each line has its own number of blanks after the key, so the
    // quoted values start 13 characters after the indentation, the template files 14 and the bare values 15.
    const std::string text = formatRecord({
        {"MaskType", 5, true, maskType},
        {"TriggerType", 2, true, triggerType},
        {"TriggerEdge", 2, true, triggerEdge},
        {"FrameIndex", 3, true, frameIndex},
        {"FrameLabel", 3, true, frameLabel},
        {"ConfigValid", 4, false, configValid},
        {"VXLInitFile", 3, true, vxlInitFile},
        {"VXLFile", 7, true, vxlFile},
        {"DeviceIndex", 4, false, deviceIndex},
    });
    if (ssWriteQRXString(S, text.c_str()) == 0) {
        return;
    }
    ssWriteQRXWorkVect(S, "IWork", 1, "PreviousTriggerValue", 1);
}

}  // namespace

std::unique_ptr<BaseFcn> makeCommitFrame() {
    return std::make_unique<CommitFrame>();
}

}  // namespace korlix
