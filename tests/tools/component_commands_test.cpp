// vexa register, unregister and component: the module's own registration, and what hosts then
// activate. Registration runs in a child process as an ordinary user (root registers machine
// wide), with a scratch folder for its registry file.
#include "component_commands.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include "child_process.h"
#include "scratch_directory.h"
#include "vexa/activation.h"

namespace vexa_cli {
namespace {

// A registration of this machine's own would answer where the scratch registry has nothing.
bool MachineRegistersTheComponent() {
    std::ifstream in("/etc/vexa/registry.reg");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.find("VexaComponent.Message") != std::string::npos;
}

TEST(ComponentCommands, RegisteringMakesEveryProgIdActivateTheModuleAndUnregisteringUndoesIt) {
    if (MachineRegistersTheComponent()) GTEST_SKIP() << "the component is registered machine wide";
    const vexa::test::ScratchDirectory data;
    const std::string module = VEXA_MODULE_PATH;
    const std::filesystem::path file = data.Path() / "vexa" / "registry.reg";
    const std::string where = "Module                 " + module + "\nRegistry               " +
                              file.string() + "\nScope                  per user\n";
    const std::string registered =
        where + "VexaComponent.Message  " + module + "\nVexaComponent.SMS      " + module + "\n";
    const std::string unregistered = where + "VexaComponent.Message  -\nVexaComponent.SMS      -\n";
    // The child answers with a code telling which step went wrong.
    constexpr HRESULT kRegisterReport = 0x20001, kUnregisterReport = 0x20002;
    const HRESULT hr = vexa::test::AsRegistryUser(data.Path(), [&]() -> HRESULT {
        if (RenderText(
                RunRegistration(module, RegistrationRequest::Action::Register, RegistryModule).report) !=
            registered)
            return kRegisterReport;
        if (RenderText(
                RunRegistration(module, RegistrationRequest::Action::Unregister, RegistryModule).report) !=
            unregistered)
            return kUnregisterReport;
        return S_OK;
    });
    EXPECT_EQ(hr, S_OK);
    // Nothing else was registered: the file and its lock file are gone with the keys.
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".lock"));
}

TEST(ComponentCommands, AFailedRegistrationCarriesTheModulesCode) {
    const vexa::test::ScratchDirectory data;
    // A registry file that does not parse is left alone, and registration says so.
    std::filesystem::create_directories(data.Path() / "vexa");
    std::ofstream(data.Path() / "vexa" / "registry.reg") << "not a registry\n";
    const HRESULT hr = vexa::test::AsRegistryUser(data.Path(), [] {
        try {
            RunRegistration(VEXA_MODULE_PATH, RegistrationRequest::Action::Register, RegistryModule);
            return S_OK;
        } catch (const ComponentError& e) {
            return e.Code();
        }
    });
    EXPECT_EQ(hr, VEXA_E_REGISTRYDAMAGED);
}

TEST(ComponentCommands, ComponentTellsWhereTheModuleCameFrom) {
    const std::string text =
        RenderText(RunComponent({ModuleSource::kRegistered, "/usr/lib/vexa/VexaComponent32.so"}).report);
    EXPECT_EQ(text,
              "Module      /usr/lib/vexa/VexaComponent32.so\nFound       registered\n"
              "Activation  ProgID VexaComponent.Message\n");
    EXPECT_NE(RenderText(RunComponent({ModuleSource::kBeside, "/b/VexaComponent32.so"}).report)
                  .find("Found       beside\nActivation  the module's DllGetClassObject"),
              std::string::npos);
}

}  // namespace
}  // namespace vexa_cli
