// The base of every block class, the mask-type table and the registry of live block objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/HostInterface.hpp"

namespace korlix {

// Execution-system codes, as the workspace bridge delivers them.
enum ExecSysCode : int32_t { kExecNone = 0, kExecHost = 1, kExecWqm = 2, kExecOpalrt = 3, kExecKvd = 4 };

// One object per block instance, created from the block's mask type at its first size initialisation and
// kept in the registry until its handle goes stale or the module is unloaded.
class BaseFcn {
public:
    virtual ~BaseFcn() = default;
    virtual void initializeSizes(HostBlock* S) = 0;
    virtual void initializeSampleTimes(HostBlock* S) = 0;
    virtual void initializeForHost(HostBlock* S) = 0;
    virtual void start(HostBlock* S) = 0;
    virtual void outputs(HostBlock* S, int32_t tid) = 0;
    virtual void update(HostBlock* S, int32_t tid) = 0;
    virtual void terminate(HostBlock* S) = 0;
    virtual void writeQRXRecord(HostBlock* S) = 0;

    int32_t execSysCode() const { return execSys_; }
    void setExecSysCode(int32_t code) { execSys_ = code; }

protected:
    BaseFcn() = default;
    int32_t& execSysRef() { return execSys_; }

private:
    int32_t execSys_ = kExecNone;
};

// The two sample-time forms every class uses.
// Parameter form: the first double of S-function parameter 1; -1.0 gives (-1.0, 1.0) with flag bit 0x1000
// cleared and 0x800 set, any other value (Ts, 0.0) with the flag word untouched.
void sampleTimeFromParameter(HostBlock* S);
// Inherited form: always (-1.0, 0.0), flag bit 0x1000 cleared and 0x800 set.
void sampleTimeInherited(HostBlock* S);

// ---- mask types ----
inline constexpr int kUnknownMaskType = 255;
// Index of the mask type text in the table (exact, case-sensitive), 255 for any other text.
int maskTypeIndex(const std::string& maskType);
// A new object for the mask type text, or null when it has no class (recognised-but-rejected or unknown).
std::unique_ptr<BaseFcn> makeBlockForMaskType(const std::string& maskType);

// ---- registry ----
namespace registry {
BaseFcn* find(double handle);
// Inserts under a handle that is not a key yet; an existing entry is kept (and obj destroyed).
BaseFcn* insert(double handle, std::unique_ptr<BaseFcn> obj);
std::vector<double> handles();  // ascending
void remove(double handle);     // destroys the object, erases the key
void destroyAll();
std::size_t size();
}  // namespace registry

// Creates and registers the object for a block the registry does not know yet, from the mask type the host
// workspace reports; sets "Invalid KORLIX MaskType found" and creates nothing for a rejected type.
BaseFcn* createBlock(double handle, HostBlock* S);

}  // namespace korlix
