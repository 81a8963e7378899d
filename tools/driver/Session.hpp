// Drives one loaded module over one model through the stand-in host: model updates, simulations and code
// generation, in the order the host makes those calls. Handles and the module's block objects persist across
// model updates; each update gives every block a fresh host structure.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ModelFile.hpp"
#include "quonix/host.hpp"

namespace korlix_host {

class Session {
  public:
    Session(const ModelDescription& description, zupFunctionType entry);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Told how far a long phase has come: the phase's name, the blocks (or steps) done and their total.
    using Progress = std::function<void(const char* phase, std::size_t done, std::size_t total)>;
    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // Whether each block keeps its record entries after code generation for the report (the default); the
    // record file text is made either way.
    void setKeepRecords(bool keep) { keepRecords_ = keep; }

    // A model update: the registration call for every block that is not deleted, then
    // mdlInitializeSampleTimes for each of them that has no error.
    void initialize();
    // mdlStart for every live block, `steps` rounds of mdlOutputs, then mdlTerminate.
    void simulate(long long steps);
    // mdlQRX for every live block; returns the record file text of the blocks without error.
    std::string generate();
    // Dialog fields that the module never asked for while setting up and generating the code of a block,
    // as of the last generate, for the blocks that generated without an error and are still in the model.
    std::vector<Diagnostic> unreadFields();
    // One scenario step; a generate step leaves its record text in lastRecord().
    void apply(const ScenarioStep& step);
    const std::optional<std::string>& lastRecord() const { return lastRecord_; }

    // The report object: model, blocks (deleted ones marked) and, when asked for, the host trace.
    nlohmann::ordered_json report(bool withTrace);
    // The report object of block i (as in report()).
    nlohmann::ordered_json blockReport(std::size_t i, bool withRecord);
    std::size_t blockCount() { return model_.blocks().size(); }
    const std::string& modelName() const { return model_.name(); }
    // How many blocks that are still in the model have an error. A deleted block is no longer part of the
    // model, so an error it had before its deletion does not count.
    std::size_t errorCount();
    // Warnings as the JSON report lists them: path, the name of the block they concern, message.
    nlohmann::ordered_json warningsJson(const std::vector<Diagnostic>& warnings);

  private:
    void tellProgress(const char* phase, std::size_t done, std::size_t total) {
        if (progress_) {
            progress_(phase, done, total);
        }
    }
    // Positions of the blocks that the last model update set up, still in the model, in model order.
    std::vector<std::size_t> live();

    quonix::Model model_;
    quonix::ModelBudget budget_{static_cast<std::size_t>(kMaxModelPorts), kMaxRecordBytes};
    quonix::HostSettings settings_;
    zupFunctionType entry_;
    std::vector<std::unique_ptr<quonix::BlockInstance>>
        instances_;  // per block; null before its first update
    std::optional<std::string> lastRecord_;
    Progress progress_;
    bool keepRecords_ = true;
    // The place in the file that gave dialog field `name` of block i its value: the scenario step that set
    // it last, or else the block's own parameters.
    std::string fieldPlace(std::size_t i, const std::string& name) const;
    // Per block: the fields scenario steps set, each with the place of the step that set it last. The
    // others came from the block's parameters; their places are not kept, a large model has many.
    std::vector<std::map<std::string, std::string>> setPlaces_;
    // Per block: the unread fields of its last generate; null when it did not generate without an error.
    std::vector<std::optional<std::vector<std::string>>> unread_;
};

}  // namespace korlix_host
