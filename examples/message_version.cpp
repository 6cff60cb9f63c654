// A host that knows VexaComponent only by its ProgID: activates a Message object through
// libvexa-activation, wherever the registry says the module lies, and prints the component's
// version and the module that served it.
//
//   message_version [PROGID-OR-CLSID]     (default: VexaComponent.Message)
#include <cstdio>
#include <string>
#include <vexa/VexaComponent.h>
#include <vexa/activation.h>
#include <vexa/com_ptr.h>

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [PROGID-OR-CLSID]\n", argv[0]);
        return 2;
    }
    // ProgIDs and CLSIDs are ASCII; anything else is refused by activation itself.
    const std::string name = argc == 2 ? argv[1] : "VexaComponent.Message";
    const std::u16string progId(name.begin(), name.end());

    vexa::ComPtr<IMessage> message;
    const HRESULT hr = VexaCreateObject(progId.c_str(), &IID_IMessage, message.OutVoid());
    if (FAILED(hr)) {
        std::fprintf(stderr, "cannot activate %s (0x%08X)\n", name.c_str(), static_cast<unsigned>(hr));
        return 1;
    }
    LONG major = 0, minor = 0;
    if (FAILED(message->get_VersionMajor(&major)) || FAILED(message->get_VersionMinor(&minor))) {
        std::fprintf(stderr, "the Message object tells no version\n");
        return 1;
    }
    std::string module(4096, '\0');
    size_t size = module.size();
    if (FAILED(VexaResolveClass(progId.c_str(), nullptr, module.data(), &size)))
        module = "?";
    else
        module.resize(size - 1);
    std::printf("%s %d.%d from %s\n", name.c_str(), static_cast<int>(major), static_cast<int>(minor),
                module.c_str());
    return 0;
}
