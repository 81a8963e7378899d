// Drives blocks the way the host does: a model with blocks, the module loaded fresh for every test, the
// registration call and the callbacks run by the stand-in host. Tests then look at the host structure, the
// error text, the record calls and the trace.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Dialogs.hpp"
#include "quonix/host.hpp"

namespace korlix_test {

// Paths of the built modules, set by the build.
inline const char* modulePath() {
    return KORLIX_MODULE_PATH;
}
inline const char* testModulePath() {
    return KORLIX_TEST_MODULE_PATH;
}

inline std::vector<quonix::ParamField> toFields(const Params& params) {
    std::vector<quonix::ParamField> fields;
    for (const auto& [name, text] : params) {
        if (text == kNoText) {
            fields.push_back({name, std::nullopt});
        } else {
            fields.push_back({name, text});
        }
    }
    return fields;
}

// Short names of the callback flags, for tables of callback sequences.
namespace flags {
constexpr int kTimes = HB_CALL_INITIALIZE_SAMPLE_TIMES, kOutputs = HB_CALL_OUTPUTS,
              kTerminate = HB_CALL_TERMINATE, kCheckParams = HB_CALL_CHECK_PARAMETERS, kStart = HB_CALL_START,
              kQrx = HB_CALL_QRX, kVarHit = HB_CALL_GET_TIME_OF_NEXT_VAR_HIT,
              kZeroCross = HB_CALL_ZERO_CROSSINGS;
// The flag of a callback by the name the trace gives it; mdlCheckParameters, which has no callback of its own
// in the host, as well.
inline int flagOf(const std::string& callback) {
    static const std::map<std::string, int> byName = {
        {"mdlInitializeSampleTimes", kTimes}, {"mdlOutputs", kOutputs}, {"mdlTerminate", kTerminate},
        {"mdlCheckParameters", kCheckParams}, {"mdlStart", kStart},     {"mdlQRX", kQrx}};
    return byName.at(callback);
}
}  // namespace flags

class HostFixture : public ::testing::Test {
  protected:
    // Which module SetUp loads; a test class may override it before SetUp runs.
    virtual std::string moduleToLoad() const { return modulePath(); }

    void SetUp() override {
        quonix::clearWorkspaces();
        quonix::trace().clear();
        quonix::trace().setEnabled(true);
        std::string error;
        module_ = quonix::Module::load(moduleToLoad(), error);
        ASSERT_NE(module_, nullptr) << error;
    }
    void TearDown() override {
        instances_.clear();
        module_.reset();  // unload: the module destroys every block object it still holds
        quonix::trace().setEnabled(false);
        quonix::clearWorkspaces();
        quonix::releaseHostMemory();
    }

    // Adds a block to the model; returns its entry there (a reference valid until the next addBlock).
    quonix::BlockSpec& addBlock(const std::string& maskType, const Params& params, double sampleTime = -1.0,
                                const std::string& name = "") {
        quonix::BlockSpec block;
        block.name = name.empty() ? "block" + std::to_string(model_.blocks().size() + 1) : name;
        block.maskType = maskType;
        block.parameters = toFields(params);
        block.sampleTime = sampleTime;
        return model_.addBlock(std::move(block));
    }

    // A fresh host structure for the block (a new model update) and the registration call on it.
    quonix::BlockInstance& initialize(const std::string& blockName) {
        quonix::BlockSpec* block = model_.find(blockName);
        if (block == nullptr) {
            // gtest reports an exception from a test body as that test's failure.
            throw std::invalid_argument("no block named '" + blockName + "' in the test model");
        }
        instances_[blockName] = std::make_unique<quonix::BlockInstance>(*block, settings_);
        quonix::BlockInstance& inst = *instances_[blockName];
        inst.registration(module_->entry());
        return inst;
    }
    // Registration, then mdlInitializeSampleTimes when registration left no error.
    quonix::BlockInstance& initializeWithSampleTimes(const std::string& blockName) {
        quonix::BlockInstance& inst = initialize(blockName);
        inst.callback(module_->entry(), HB_CALL_INITIALIZE_SAMPLE_TIMES);
        return inst;
    }
    void callback(quonix::BlockInstance& inst, int flag) { inst.callback(module_->entry(), flag); }
    // mdlQRX on an initialised block; returns its record calls.
    const std::vector<quonix::RecordEntry>& generate(quonix::BlockInstance& inst) {
        inst.callback(module_->entry(), HB_CALL_QRX);
        return inst.record();
    }
    static std::string errorText(const quonix::BlockInstance& inst) { return inst.error().value_or(""); }

    quonix::Model model_{"test_model"};
    quonix::HostSettings settings_;
    std::unique_ptr<quonix::Module> module_;
    std::map<std::string, std::unique_ptr<quonix::BlockInstance>> instances_;
};

}  // namespace korlix_test
