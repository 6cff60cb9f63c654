#include "load_rig.h"

#include <stdexcept>

namespace vexa::sandbox::test {

std::unique_ptr<SandboxProcess> LoadRig::Start() const {
    auto process = std::make_unique<SandboxProcess>(
        binary_, dir_,
        vexa::test::SandboxLaunch{{"--account", "kim:secret:" + std::to_string(kStartCredit)}, {}, {}});
    if (!process->Up()) throw std::runtime_error("vexa-sandbox did not come up: " + process->Output());
    return process;
}

LoadPlan LoadRig::Plan(const SandboxProcess& process, int senders, int sendsEach) const {
    LoadPlan plan;
    plan.httpsPort = process.HttpsPort();
    plan.certificate = process.Certificate();
    plan.user = "kim";
    plan.password = "secret";
    plan.senders = senders;
    plan.sendsEach = sendsEach;
    return plan;
}

}  // namespace vexa::sandbox::test
