#include <memory>
#include <thread>
#include <type_traits>

#include "checks.h"
#include "com_support.h"

namespace host {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// What the multithreaded apartment saw; checked on this thread once it is done.
struct FromOtherApartment {
    HRESULT apartment = E_FAIL, unmarshal = E_FAIL, major = E_FAIL, text = E_FAIL;
    LONG majorValue = 0;
    std::wstring textValue;
    bool sameObject = true;
};

void CallFromMultithreadedApartment(IStream* marshaled, IMessage* original, FromOtherApartment& seen) {
    const Apartment mta(COINIT_MULTITHREADED);
    seen.apartment = mta.Result();
    if (FAILED(seen.apartment)) return;
    ComPtr<IMessage> message;
    seen.unmarshal = CoGetInterfaceAndReleaseStream(marshaled, IID_IMessage,
                                                    reinterpret_cast<void**>(message.GetAddressOf()));
    if (FAILED(seen.unmarshal)) return;
    seen.sameObject = message.Get() == original;
    seen.major = message->get_VersionMajor(&seen.majorValue);
    Bstr text;
    seen.text = message->GetErrorMessage(VEXA_E_NOTLOGINED, text.Out());
    seen.textValue = text.Text();
}

}  // namespace

void CheckApartments() {
    ComPtr<IMessage> message;
    CheckHr("Message for another apartment",
            CoCreateInstance(CLSID_Message, nullptr, CLSCTX_INPROC_SERVER, IID_IMessage,
                             reinterpret_cast<void**>(message.GetAddressOf())),
            S_OK);
    if (!message) return;
    IStream* marshaled = nullptr;  // released by CoGetInterfaceAndReleaseStream on the other thread
    CheckHr("IMessage marshaled for another thread",
            CoMarshalInterThreadInterfaceInStream(IID_IMessage, message.Get(), &marshaled), S_OK);
    if (!marshaled) return;

    const Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    FromOtherApartment seen;
    std::thread other([&] {
        CallFromMultithreadedApartment(marshaled, message.Get(), seen);
        SetEvent(done.get());
    });
    // The object's calls arrive as messages of this apartment: keep them flowing while waiting (a
    // call that never returns is the driver's time-out to catch).
    DWORD index = 0;
    HANDLE handles[] = {done.get()};
    CoWaitForMultipleHandles(0, INFINITE, 1, handles, &index);
    other.join();
    CheckHr("multithreaded apartment", seen.apartment, S_OK);
    CheckHr("IMessage unmarshaled in the multithreaded apartment", seen.unmarshal, S_OK);
    Check("the multithreaded apartment calls through a proxy", !seen.sameObject, "got the object itself");
    CheckHr("VersionMajor called from the multithreaded apartment", seen.major, S_OK);
    CheckEqual("VersionMajor from the multithreaded apartment", seen.majorValue, 4L);
    CheckHr("GetErrorMessage called from the multithreaded apartment", seen.text, S_OK);
    CheckEqual("GetErrorMessage from the multithreaded apartment", seen.textValue,
               std::wstring(L"로그인하지 않았습니다."));
}

}  // namespace host
