#include "contract/error_texts.h"

#include <iterator>

#include "automation/bstr.h"
#include "contract/system_error_text.h"
#include "vexa/VexaComponent.h"

namespace vexa {

namespace {

// In the order of the codes, VEXA_E_NOTCONNECTED first.
constexpr std::u16string_view kComponentTexts[] = {
    u"서버에 접속할 수 없습니다.",
    u"서버 처리중 오류가 발생했습니다.",
    u"로그인에 실패하였습니다.",
    u"처리가 지연되고 있습니다.",
    u"수신자 정보가 없습니다.",
    u"소켓을 초기화 하는데 실패하였습니다.",
    u"로그인하지 않았습니다.",
    u"값을 할당할 수 없습니다.",
    u"로그 정보가 없습니다.",
    u"콜 수가 부족합니다.",
    u"추가되지 않았습니다.",
    u"전송할 파일 크기가 너무 큽니다.",
    u"더 이상 지원되지 않는 메서드 또는 속성입니다.",
};
static_assert(std::size(kComponentTexts) == VEXA_E_DEPRECATED - VEXA_E_NOTCONNECTED + 1);

}  // namespace

std::u16string ErrorText(HRESULT code) {
    if (code >= VEXA_E_NOTCONNECTED && code <= VEXA_E_DEPRECATED)
        return std::u16string(kComponentTexts[code - VEXA_E_NOTCONNECTED]);
    return SystemErrorText(code);
}

HRESULT GetErrorMessageText(HRESULT code, BSTR* out) {
    if (!out) return S_OK;
    Bstr text(ErrorText(code));
    *out = text.Detach();
    return S_OK;
}

}  // namespace vexa
