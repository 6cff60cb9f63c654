// A data directory and vexa-sandbox started on it, as often as asked, with one account, and plans
// of load against it: what the load tests and the store benchmark share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "sandbox_process.h"
#include "scratch_directory.h"
#include "send_load.h"
#include "store_audit.h"

namespace vexa::sandbox::test {

using vexa::test::SandboxProcess;

class LoadRig {
public:
    static constexpr int64_t kStartCredit = 100000000;

    // `binary` is the vexa-sandbox to start.
    explicit LoadRig(std::filesystem::path binary) : binary_(std::move(binary)) {}

    // The sandbox on the directory with the account kim:secret; throws when it does not come up.
    std::unique_ptr<SandboxProcess> Start() const;
    // `senders` senders of `sendsEach` texts each, as kim, against that sandbox.
    LoadPlan Plan(const SandboxProcess& process, int senders, int sendsEach) const;
    // What the store file holds for kim (the sandbox stopped or killed).
    StoreContents Stored() const { return ReadStore(dir_ / "sandbox.db", "kim"); }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    const std::filesystem::path binary_;
    vexa::test::ScratchDirectory scratch_;
    const std::filesystem::path dir_ = scratch_.Path() / "data";
};

}  // namespace vexa::sandbox::test
