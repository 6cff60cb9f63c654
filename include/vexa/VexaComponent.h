// The VexaComponent contract: interfaces in vtable order, their identifiers, the class
// identifiers, the enumerations and the component's error codes. Objects handed out by the
// component are their IDispatch pointers (the dispinterface); ask with QueryInterface for a dual
// interface to call it through its vtable.
#pragma once

#include "vexa/automation.h"

// ---------------------------------------------------------------------------------------------
// Type library
inline constexpr GUID LIBID_VexaComponent = GuidFromString("FF78F57D-91B0-4097-82A9-8FAAD218842F");
constexpr int VEXA_TYPELIB_MAJOR = 4;
constexpr int VEXA_TYPELIB_MINOR = 2;

// ---------------------------------------------------------------------------------------------
// Enumerations (all 32-bit)
enum VEXA_SENDMODE : int32_t { VEXA_RESERVATION = 0, VEXA_DIRECT = 1 };
enum VEXA_MESSAGE_TYPE : int32_t {
    VEXA_MESSAGE_TYPE_ALL = 0,
    VEXA_MESSAGE_TYPE_SMS = 1,
    VEXA_MESSAGE_TYPE_LMS = 2,
    VEXA_MESSAGE_TYPE_MMS = 3,
};
enum VEXA_TRANS_STATUS : int32_t {
    VEXA_TRANS_REQUESTED = 0,
    VEXA_TRANS_WAITING = 1,
    VEXA_TRANS_RECEIVED = 2
};
enum VEXA_TRANS_RESULT : int32_t {
    VEXA_TRANS_FAILED = 0,
    VEXA_TRANS_SUCCEEDED = 1,
    VEXA_TRANS_NOTEXISTNUMBER = 2
};
enum VEXA_RESULT : int32_t { VEXA_FAILED = 0, VEXA_SUCCEEDED = 1 };
enum VEXA_LOGBY : int32_t { VEXA_BYALL = 0, VEXA_BYRESERVATION = 1 };
enum VEXA_E_CONSTANTS : int32_t {
    VEXA_E_NOTCONNECTED = static_cast<int32_t>(0x8004A001),
    VEXA_E_SERVERERROR = static_cast<int32_t>(0x8004A002),
    VEXA_E_LOGINFAIL = static_cast<int32_t>(0x8004A003),
    VEXA_E_TOOBUSY = static_cast<int32_t>(0x8004A004),
    VEXA_E_RECEIVERNOTFOUND = static_cast<int32_t>(0x8004A005),
    VEXA_E_SOCKINITFAIL = static_cast<int32_t>(0x8004A006),
    VEXA_E_NOTLOGINED = static_cast<int32_t>(0x8004A007),
    VEXA_E_CANNOTASSIGN = static_cast<int32_t>(0x8004A008),
    VEXA_E_LOGLISTNOTFOUND = static_cast<int32_t>(0x8004A009),
    VEXA_E_NEEDFORCALL = static_cast<int32_t>(0x8004A00A),
    VEXA_E_NOTADDED = static_cast<int32_t>(0x8004A00B),
    VEXA_E_FILEISTOOLARGE = static_cast<int32_t>(0x8004A00C),
    VEXA_E_DEPRECATED = static_cast<int32_t>(0x8004A00D),
};

// ---------------------------------------------------------------------------------------------
// Class identifiers
inline constexpr CLSID CLSID_Message = GuidFromString("E17CBD66-320E-4BBD-96EF-FA7DAB21974A");
inline constexpr CLSID CLSID_SMS = GuidFromString("5009B528-A40B-4158-A5C3-20633C473278");
inline constexpr CLSID CLSID_Receiver = GuidFromString("0A0B6EDF-E0DD-4430-9DB0-7A91CA1635B9");
inline constexpr CLSID CLSID_Receivers = GuidFromString("EE00D474-CFCE-4D09-A56E-1940E903B3F5");
inline constexpr CLSID CLSID_Contents = GuidFromString("C8BB27E5-AE61-4F42-82C2-BD6C36B73E31");
inline constexpr CLSID CLSID_SendResult = GuidFromString("24B017FC-1022-4E1A-BD98-0EE9DFA5B9A5");
inline constexpr CLSID CLSID_SendResults = GuidFromString("72D0A1A8-BC1C-4137-A284-A43046D679E3");
inline constexpr CLSID CLSID_LogList = GuidFromString("BBB39131-543E-47F2-A6CA-1BF0D4B0F561");
inline constexpr CLSID CLSID_LogLists = GuidFromString("A2A617F5-5A65-49B4-B887-0C61DAC8DED3");
inline constexpr CLSID CLSID_LogDetail = GuidFromString("38A4F5CB-80D0-484F-A3B4-CA654D8A01A4");
inline constexpr CLSID CLSID_LogDetails = GuidFromString("70DEEFA9-F14C-4380-8192-8A967304E097");
inline constexpr CLSID CLSID_LogDetailsCollection = GuidFromString("40598129-A68E-4AA1-BF47-482E5F6078BC");
inline constexpr CLSID CLSID_DeleteResult = GuidFromString("54F454C5-C4D0-4B92-B56E-E3F00EACACF7");
inline constexpr CLSID CLSID_DeleteResults = GuidFromString("FE345DF4-AC70-48F4-A2F8-76F98F252B72");
inline constexpr CLSID CLSID_CancelResult = GuidFromString("89AB78F4-BCFF-48D2-B8BE-17C4C68E665B");
inline constexpr CLSID CLSID_CancelResults = GuidFromString("FAB7539A-5AD7-4798-B62B-F8B4850A94C7");
inline constexpr CLSID CLSID_LoginInfo = GuidFromString("E1B3D799-B508-4B44-9E52-0C2D91E68829");

// ---------------------------------------------------------------------------------------------
// Interface identifiers
inline constexpr IID IID_IMessage = GuidFromString("2F5CD1F5-13D5-4BF6-AAC8-A2D563FF0512");
inline constexpr IID DIID_DispMessage = GuidFromString("FDB1D385-BC92-4D4E-991D-BEEE0A3120DE");
inline constexpr IID IID_ISMS = GuidFromString("273716DF-AD0D-404A-B197-19A2C67ABDB5");
inline constexpr IID DIID_DispSMS = GuidFromString("117FD8D5-A494-4129-96D1-821129B9DBBB");
inline constexpr IID IID_IReceiver = GuidFromString("01952A20-842B-4597-B08B-1C05BCA7BDED");
inline constexpr IID IID_IReceiver2 = GuidFromString("6754D29D-ED20-476B-8A77-2B5505E408AF");
inline constexpr IID DIID_DispReceiver = GuidFromString("E33BAE15-9A04-4EC4-BA6C-770F964989F0");
inline constexpr IID IID_IReceivers = GuidFromString("74E4A813-42B5-4729-BA40-938E958BC0E7");
inline constexpr IID DIID_DispReceivers = GuidFromString("BF10699E-2475-4A5E-8068-7FF244AE8572");
inline constexpr IID IID_IContents = GuidFromString("463AD8E7-5480-4EB0-9CB9-5B1E25978C18");
inline constexpr IID DIID_DispContents = GuidFromString("2F0A3709-AD9C-492B-B120-68724EE284C9");
inline constexpr IID IID_ISendResult = GuidFromString("5111672A-B3EA-4111-9937-08C2779D7404");
inline constexpr IID IID_ISendResult2 = GuidFromString("B9B53F86-3271-4F7F-91AA-1E6BF1E5E83F");
inline constexpr IID DIID_DispSendResult = GuidFromString("86EB943E-637C-4F56-B915-924B2157A5F4");
inline constexpr IID IID_ISendResults = GuidFromString("8FC814E1-639E-47AB-B32F-67B86298765C");
inline constexpr IID DIID_DispSendResults = GuidFromString("3D850799-90B5-4E8C-B734-46597CE2391D");
inline constexpr IID IID_ILogList = GuidFromString("FC97480C-B4A2-4C4B-8DC4-AE191D58222F");
inline constexpr IID IID_ILogList2 = GuidFromString("352E5182-28A6-4DC6-BB5B-B33009DC4079");
inline constexpr IID IID_ILogList3 = GuidFromString("F9694B40-84BF-472D-A4AF-A0B24C1ECDF9");
inline constexpr IID DIID_DispLogList = GuidFromString("E1A97B27-061F-4FBF-9973-EF9639769C33");
inline constexpr IID IID_ILogLists = GuidFromString("9BACFED7-FC39-4032-A190-50688F89D2A4");
inline constexpr IID DIID_DispLogLists = GuidFromString("F312EF16-9EE2-46FA-8679-933527064BFC");
inline constexpr IID IID_ILogDetail = GuidFromString("D6B9D7CF-EA9A-4EB9-9272-A7790581D074");
inline constexpr IID IID_ILogDetail2 = GuidFromString("7B742653-FE2F-483F-A679-31D6738BB53B");
inline constexpr IID DIID_DispLogDetail = GuidFromString("0E2B57B4-54A8-466C-BFFC-A47837F115A4");
inline constexpr IID IID_ILogDetails = GuidFromString("391DF203-3182-44A6-8CE2-E02F5913AA94");
inline constexpr IID IID_ILogDetails2 = GuidFromString("FAEB0C3E-D44E-43EE-ABD4-197DDDF9F403");
inline constexpr IID IID_ILogDetails3 = GuidFromString("13678840-B785-403C-B9C0-3C87A910518D");
inline constexpr IID DIID_DispLogDetails = GuidFromString("DF8F47F2-1A18-4459-87A5-BBC7444CA65D");
inline constexpr IID IID_ILogDetailsCollection = GuidFromString("99C92B75-A45C-4C45-856F-43E68F2A11FA");
inline constexpr IID IID_IDeleteResult = GuidFromString("A3491DB1-8E08-4235-98AF-8ECF424021BC");
inline constexpr IID DIID_DispDeleteResult = GuidFromString("4C5B8783-7E77-4318-80E0-C250BE434367");
inline constexpr IID IID_IDeleteResults = GuidFromString("94A68FBC-CFBA-445F-9127-E601DC3365D1");
inline constexpr IID DIID_DispDeleteResults = GuidFromString("E5BAE8D5-0DE9-426B-A92A-A830A9133825");
inline constexpr IID IID_ICancelResult = GuidFromString("DDE2FC89-AB1D-4DA3-963E-01BD6D47FF5A");
inline constexpr IID DIID_DispCancelResult = GuidFromString("931CBC1E-A4FF-4D28-9592-21DCDD3287E0");
inline constexpr IID IID_ICancelResults = GuidFromString("08A056A6-8F81-4CC8-A806-A6452581005A");
inline constexpr IID DIID_DispCancelResults = GuidFromString("218739AC-FB92-4047-852A-3E777A5CB608");
inline constexpr IID IID_ILoginInfo = GuidFromString("33BB4915-25AF-4C0D-97AE-949F4181D6F3");
inline constexpr IID IID_ILoginInfo2 = GuidFromString("4E05A5C5-0492-45D3-A8A4-A7A99EBCEAA4");
inline constexpr IID IID_ILoginInfo3 = GuidFromString("CA83F269-FDE9-43F4-9ADA-5BD94E489B2C");
inline constexpr IID DIID_DispLoginInfo = GuidFromString("3C436FE5-45E3-4572-AE1D-499BA7A5FE8B");
// Not in the type library: lets a host point a Message object at another service endpoint.
inline constexpr IID IID_IServiceEndpoint = GuidFromString("34336FC6-92B5-4B3A-8DFD-6296DCD2D937");
// Not in the type library: the subject of a transfer that a LogDetails describes.
inline constexpr IID IID_ILogDetailsSubject = GuidFromString("1069D741-4435-4663-97AA-202A47ED2DA2");

// ---------------------------------------------------------------------------------------------
// Front objects
struct IMessage : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_VersionMajor(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VersionMinor(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetErrorMessage(VEXA_E_CONSTANTS ErrorNum, BSTR* ErrorMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ArrayBase(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ArrayBase(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServiceCode(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ServiceCode(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_OfficeName(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_OfficeName(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LoginInfo(IDispatch** ppLoginInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                                            IDispatch** ppLoginInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateLoginInfo() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAccountInfo(BSTR UserID, BSTR UserPassword) = 0;
    virtual HRESULT STDMETHODCALLTYPE Send(BSTR bstrReturnPhone, IDispatch* pReceivers, IDispatch* pContents,
                                           IDispatch** ppSendResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendOne(BSTR bstrReturnPhone, IDispatch* pReceiver,
                                              IDispatch* pContents, IDispatch** ppSendResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy,
                                                 VEXA_MESSAGE_TYPE Type, IDispatch** ppLogLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay,
                                                      VEXA_LOGBY LogBy, VEXA_MESSAGE_TYPE Type,
                                                      IDispatch** ppLogLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogDetail(LONG Year, LONG Month, BSTR Index,
                                                       VEXA_MESSAGE_TYPE Type, IDispatch** ppLogDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogDetailByList(IDispatch* pLogList,
                                                             IDispatch** ppLogDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogDetailByLists(IDispatch* pLogLists,
                                                              IDispatch** ppLogDetailsCollection) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLog(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                                IDispatch** ppDeleteResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLogByList(IDispatch* pLogList, IDispatch** ppDeleteResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLogByLists(IDispatch* pLogLists, IDispatch** ppDeleteResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReservation(LONG Year, LONG Month, BSTR Index,
                                                        VEXA_MESSAGE_TYPE Type,
                                                        IDispatch** ppCancelResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReservationByList(IDispatch* pLogList,
                                                              IDispatch** ppCancelResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReservationByLists(IDispatch* pLogLists,
                                                               IDispatch** ppCancelResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReceivers(IDispatch** ppReceivers) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReceiver(IDispatch** ppReceiver) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReceiverDirect(BSTR bstrPhone, BSTR bstrMessage,
                                                           VEXA_SENDMODE SendMode, DATE SendTime,
                                                           IDispatch** ppReceiver) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateLogLists(IDispatch** ppLogLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateLogList(IDispatch** ppLogList) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateLogListDirect(LONG Year, LONG Month, BSTR Index,
                                                          VEXA_MESSAGE_TYPE Type, IDispatch** ppLogList) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateContents(IDispatch** ppContents) = 0;
};

struct ISMS : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_VersionMajor(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VersionMinor(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetErrorMessage(VEXA_E_CONSTANTS ErrorNum, BSTR* ErrorMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ArrayBase(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ArrayBase(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServiceCode(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ServiceCode(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_OfficeName(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_OfficeName(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LoginInfo(IDispatch** ppLoginInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                                            IDispatch** ppLoginInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateLoginInfo() = 0;
    virtual HRESULT STDMETHODCALLTYPE SendSMS(BSTR bstrReturnPhone, IDispatch* pReceivers,
                                              IDispatch** ppSendResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendSMSOne(BSTR bstrReturnPhone, IDispatch* pReceiver,
                                                 IDispatch** ppSendResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLog(LONG Year, LONG Month, VEXA_LOGBY LogBy,
                                                 IDispatch** ppLogLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogBound(LONG Year, LONG Month, LONG StartDay, LONG EndDay,
                                                      VEXA_LOGBY LogBy, IDispatch** ppLogLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogDetail(LONG Year, LONG Month, BSTR Index,
                                                       IDispatch** ppLogDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogDetailByList(IDispatch* pLogList,
                                                             IDispatch** ppLogDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestLogDetailByLists(IDispatch* pLogLists,
                                                              IDispatch** ppLogDetailsCollection) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLog(LONG Year, LONG Month, BSTR Index,
                                                IDispatch** ppDeleteResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLogByList(IDispatch* pLogList, IDispatch** ppDeleteResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLogByLists(IDispatch* pLogLists, IDispatch** ppDeleteResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReservation(LONG Year, LONG Month, BSTR Index,
                                                        IDispatch** ppCancelResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReservationByList(IDispatch* pLogList,
                                                              IDispatch** ppCancelResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReservationByLists(IDispatch* pLogLists,
                                                               IDispatch** ppCancelResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReceivers(IDispatch** ppReceivers) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReceiver(IDispatch** ppReceiver) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReceiverDirect(BSTR bstrPhone, BSTR bstrMessage,
                                                           VEXA_SENDMODE SendMode, DATE SendTime,
                                                           IDispatch** ppReceiver) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateLogLists(IDispatch** ppLogLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateLogList(IDispatch** ppLogList) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateLogListDirect(LONG Year, LONG Month, BSTR Index,
                                                          IDispatch** ppLogList) = 0;
};

// ---------------------------------------------------------------------------------------------
// Receivers and contents
struct IReceiver : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Phone(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Phone(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Message(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SendMode(VEXA_SENDMODE* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SendMode(VEXA_SENDMODE newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SendTime(DATE* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SendTime(DATE newVal) = 0;
};

struct IReceiver2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) = 0;
};

struct IReceivers : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(IDispatch* pReceiver) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(LONG nIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDirect(BSTR bstrPhone, BSTR bstrMessage, VEXA_SENDMODE SendMode,
                                                DATE SendTime) = 0;
};

struct IContents : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Type(VEXA_MESSAGE_TYPE newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Message(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Subject(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddImageFile(BSTR imageFilePath, LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddJPEGImageStream(IStream* JPEGImageStream, LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageCount(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImagesSize(LONG* pVal) = 0;
};

// ---------------------------------------------------------------------------------------------
// Results
struct ISendResult : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Phone(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Result(VEXA_RESULT* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE MakeLogList(IDispatch** ppLogList) = 0;
};

struct ISendResult2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) = 0;
};

struct ISendResults : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE MakeLogList(IDispatch** ppLogList) = 0;
};

struct ILogList : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Date(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Index(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SendMode(VEXA_SENDMODE* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReceiverPhone(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReturnPhone(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountTotal(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountSucceed(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountFailure(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SendTime(DATE* pVal) = 0;
};

struct ILogList2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_WriteTime(DATE* pVal) = 0;
};

struct ILogList3 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) = 0;
};

struct ILogLists : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(IDispatch* pLogList) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(LONG nIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDirect(LONG Year, LONG Month, BSTR Index) = 0;
};

struct ILogDetail : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ReceiverPhone(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(VEXA_TRANS_STATUS* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Result(VEXA_TRANS_RESULT* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TransDate(DATE* pVal) = 0;
};

struct ILogDetail2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) = 0;
};

struct ILogDetails : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReturnPhone(BSTR* pVal) = 0;
};

struct ILogDetails2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Type(VEXA_MESSAGE_TYPE* pVal) = 0;
};

struct ILogDetails3 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ImageURLs(VARIANT* pVal) = 0;
};

struct ILogDetailsCollection : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
};

struct IDeleteResult : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Result(VEXA_RESULT* pVal) = 0;
};

struct IDeleteResults : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
};

struct ICancelResult : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountTotal(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountSucceed(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountFailure(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Result(VEXA_RESULT* pVal) = 0;
};

struct ICancelResults : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
};

struct ILoginInfo : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ServerIP(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServerPort(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserID(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserPassword(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserName(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserPhoneNumber(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Logined(VEXA_RESULT* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServerVersion(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServerTime(DATE* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FreeCall(LONG* pVal) = 0;
};

struct ILoginInfo2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_FreePoint(LONG* pVal) = 0;
};

struct ILoginInfo3 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_UserPhoneNumbers(VARIANT* pVal) = 0;
};

// ---------------------------------------------------------------------------------------------
// Private interface of Message: where its requests go.
struct IServiceEndpoint : IUnknown {
    // "https://host[:port]" or "http://host[:port]", optionally ending in "/"; E_INVALIDARG for
    // anything else. Login information is untouched.
    virtual HRESULT STDMETHODCALLTYPE SetEndpoint(BSTR url) = 0;
    // PEM certificates trusted in addition to the system's; "" returns to the system's alone.
    virtual HRESULT STDMETHODCALLTYPE SetTrustedCertificates(BSTR pemFile) = 0;
};

// Private interface of LogDetails: the subject of a long or multimedia transfer as the service's
// detail reply gives it; empty for a text message and on the legacy service, which keeps none.
struct ILogDetailsSubject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* pVal) = 0;
};

// ---------------------------------------------------------------------------------------------
// Module entry points
extern "C" {
VEXA_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(const GUID* rclsid, const GUID* riid, void** ppv);
VEXA_EXPORT HRESULT STDMETHODCALLTYPE DllCanUnloadNow();
// Write or remove the module's classes, type library and AppID: in the registry file on Linux (per
// user, or machine wide when run as root), in the system registry on Windows (machine wide, or
// per user when the machine's classes cannot be written).
VEXA_EXPORT HRESULT STDMETHODCALLTYPE DllRegisterServer();
VEXA_EXPORT HRESULT STDMETHODCALLTYPE DllUnregisterServer();
}
