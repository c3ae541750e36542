#pragma once
// The comm device component: the face of the serial library towards the
// windows. It owns one port engine, one package layer built on it and one
// frame settings object, routes reads, writes and purges to the engine
// (bytes) or to the package layer (packages) as UsePackage says, and hands
// their notifications to the thread that created it.
//
// TLxCustomCommDevice holds all behaviour and keeps its properties public;
// TLxCommDevice publishes them as Qt properties. The owner (QObject parent)
// destroys the component with itself.
//
// Threads:
// - The constructor, the destructor and every operation and property here
//   (SettingsDialog included) belong to the thread that created the
//   component, in this system the window thread. The component takes no
//   lock of its own.
// - With SyncEvents true (the initial value) OnCommNotify and OnPackage run
//   on the creating thread, in the order the notifications were raised,
//   possibly after the state they report has changed. With SyncEvents false
//   they run on the notifying thread: the engine's read and timer threads,
//   the thread inside Open or Close, or the package layer's thread (time-out
//   packages). Such a handler must not touch windows, nor close the port or
//   destroy the component.
// - AfterOpen and BeforeClose always run on the thread that opens or closes
//   the port, inside that call.
// - SyncEvents may be read on any thread; it applies from the next
//   notification.
//
// Stored defaults (what a form description would leave out) are listed
// beside each published property; nothing here reads form descriptions.

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>

#include <QObject>

#include "TComm32.h"
#include "TCommQueue.h"
#include "TEvent.h"
#include "TObject.h"
#include "Tcommpkg.h"

namespace OrvekComm32 {

class TLxCustomCommDevice;

// The sub-object behind FrameSettings. It stores nothing itself: it reads
// and writes the frame bytes and the double frame mark of the package
// layer it was made for. Same threads as the component.
class TLxCommFrameSettings : public QObject {
    Q_OBJECT
    // stored default 235 (0xEB)
    Q_PROPERTY(uchar FrameHead READ fGetFrameHead WRITE fSetFrameHead)
    // stored default 238 (0xEE)
    Q_PROPERTY(uchar FrameTail READ fGetFrameTail WRITE fSetFrameTail)
    // stored default 236 (0xEC)
    Q_PROPERTY(uchar FrameCtrl READ fGetFrameCtrl WRITE fSetFrameCtrl)
    // stored default true
    Q_PROPERTY(bool DoubleFrameMark READ fGetDoubleFrameMark WRITE fSetDoubleFrameMark)

public:
    explicit TLxCommFrameSettings(TCommPackage* Package);
    ~TLxCommFrameSettings() override;

    // Copies FrameHead, FrameTail and FrameCtrl; DoubleFrameMark keeps its
    // value.
    void Assign(const TLxCommFrameSettings& Source);

    unsigned char fGetFrameHead() const;
    void fSetFrameHead(unsigned char Value);
    unsigned char fGetFrameTail() const;
    void fSetFrameTail(unsigned char Value);
    unsigned char fGetFrameCtrl() const;
    void fSetFrameCtrl(unsigned char Value);
    bool fGetDoubleFrameMark() const;
    void fSetDoubleFrameMark(bool Value);

private:
    TCommPackage* const Package; // not owned
};

class TLxCustomCommDevice : public QObject, public TObject {
    Q_OBJECT

public:
    // Ordinals from 0 in this order; each value stands for the bit rate in
    // its name.
    enum TBaudRate : int {
        br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
        br56000, br57600, br115200, br128000, br256000
    };
    Q_ENUM(TBaudRate)

    // The ordinal is the engine's parity code.
    enum TParity : int { ptNoParity, ptOddParity, ptEvenParity, ptMarkParity, ptSpaceParity };
    Q_ENUM(TParity)

    // The ordinal is the engine's stop-bit code.
    enum TStopBits : int { sbOneStopBit, sbOne_5_StopBits, sbTwoStopBit };
    Q_ENUM(TStopBits)

    // Ordinals 0 to 4; the engine's codes are 0, 3, 4, 5 and 6.
    enum TFlowControl : int { fcNone, fcRtsCts, fcXonXoff, fcTranXonXoff, fcRtsCtsXonXoff };
    Q_ENUM(TFlowControl)

    // Mirrors the package layer's type, with the same ordinals, so that the
    // property can be shown and set by name.
    enum TPackageType : int {
        ptCompatiblePkg = cptCompatiblePkg,
        ptFrameHeadTail = cptFrameHeadTail,
        ptFrameTimeout = cptFrameTimeout
    };
    Q_ENUM(TPackageType)

    // Bits of ModemStatus.
    enum TModemStatusBit : std::uint8_t { msCTS = 0x01, msDSR = 0x02, msRING = 0x04, msRLSD = 0x08 };

    // Creates the engine, then the package layer on it, then the frame
    // settings; the component starts closed, without packages, with
    // SyncEvents set. Throws std::system_error when the package layer's
    // thread cannot be started.
    explicit TLxCustomCommDevice(QObject* AOwner = nullptr);
    // Closes the port and stops every thread before anything is freed. A
    // failure to close is written to stderr and destruction completes.
    ~TLxCustomCommDevice() override;

    // With UsePackage the package layer's ReadPackage/WritePackage (whole
    // packages, Size and Len as there); without, the engine's bytes.
    virtual long Read(void* Buf, long Size);
    virtual long Write(const void* Buf, long Size);
    // The engine's Command, whatever UsePackage says.
    virtual long Command(const char* Text);
    // The package layer's ReadPackage(Buf, 0) / WritePackage(Buf, 0) is not
    // 0: whole records in cptCompatiblePkg; in the byte-count types
    // ReadPackage tells whether the oldest package holds a byte (taking
    // nothing) and WritePackage is false.
    virtual bool ReadPackage(void* Buf);
    virtual bool WritePackage(const void* Buf);
    // The package layer's ReadPackage / WritePackage.
    virtual unsigned long ReadPackage(void* Buf, unsigned long Size);
    virtual unsigned long WritePackage(const void* Buf, unsigned long Len);
    // Without UsePackage the engine's purge (with abort as given); with it
    // the package layer's, which purges the engine without abort.
    virtual void PurgeRead(bool Abort);
    virtual void PurgeWrite(bool Abort);
    // Shows the port settings dialog for this component, modally, owned by
    // AOwner (a QWidget, or null); true when it was closed with OK. With
    // OpenOnOK the port is open after a successful OK. Defined with the
    // dialog, in Unit_lxcommdevice_settings.cpp.
    virtual bool SettingsDialog(QObject* AOwner, bool OpenOnOK);
    virtual long ResetModem();
    virtual long InitModem();
    virtual bool EscapeCommFunction(unsigned long Function);
    // Raise the user's events with this component as Sender, whatever
    // Sender says. A derived class may override them to see notifications
    // first, or instead.
    virtual void EvCommNotify(TObject* Sender, int NotifyType);
    virtual void EvPackageNotify(TObject* Sender, int NotifyType);
    virtual void EvAfterOpen(TObject* Sender);
    virtual void EvBeforeClose(TObject* Sender);

    // The class name without its namespace, "TLxCommDevice" for the
    // published class; the settings and about dialogs show it.
    QString ClassName() const;

    // Properties. "Closes the port" means the engine's Close: an open port
    // is closed (with BeforeClose) and stays closed; the new value applies
    // at the next open.

    // Without packages the engine is open; with them the engine is open and
    // the package layer active. Opening failures throw EComm32Error and
    // leave the package layer as it was.
    bool fGetActive() const;
    void fSetActive(bool Value);
    // Closes the port; also rebuilds the engine's device name.
    int fGetPortNo() const;
    void fSetPortNo(int Value);
    // Closes the port. A rate not in the table reads br115200; a value
    // outside the enum sets 115200.
    TBaudRate fGetBaud() const;
    void fSetBaud(TBaudRate Value);
    // Closes the port; codes outside 0..4 read ptNoParity, values outside
    // the enum set 0.
    TParity fGetParity() const;
    void fSetParity(TParity Value);
    // Closes the port; the value is clamped to 0..255.
    int fGetByteSize() const;
    void fSetByteSize(int Value);
    // Closes the port; codes outside 0..2 read sbOneStopBit.
    TStopBits fGetStopBits() const;
    void fSetStopBits(TStopBits Value);
    // The engine closes the port. fcTranXonXoff reads back as fcXonXoff.
    TFlowControl fGetFlowControl() const;
    void fSetFlowControl(TFlowControl Value);
    // Clamped to 0..255; the port stays open.
    int fGetAutoAnswer() const;
    void fSetAutoAnswer(int Value);
    bool fGetSyncEvents() const;
    void fSetSyncEvents(bool Value);
    // The engine's byte queues, resized with the port open.
    long fGetInBufSize() const;
    void fSetInBufSize(long Value);
    long fGetOutBufSize() const;
    void fSetOutBufSize(long Value);
    // Driver buffer sizes; each closes the port.
    long fGetHwInSize() const;
    void fSetHwInSize(long Value);
    long fGetHwOutSize() const;
    void fSetHwOutSize(long Value);
    // The package layer's settings, through its setters (each empties the
    // package queues while the layer is active).
    long fGetQueueSize() const;
    void fSetQueueSize(long Value);
    long fGetPackageSize() const;
    void fSetPackageSize(long Value);
    TCommPackageType fGetPackageType() const;
    void fSetPackageType(TCommPackageType Value);
    long fGetPackageInterval() const;
    void fSetPackageInterval(long Milliseconds);
    // Switches the package layer on or off without closing an open port.
    bool fGetUsePackage() const;
    void fSetUsePackage(bool Value);
    TLxCommFrameSettings* fGetFrameSettings() const;
    // Copies the three frame bytes from Value; a null Value changes nothing.
    void fSetFrameSettings(const TLxCommFrameSettings* Value);

    // Read-only views of the engine.
    TCommQueue* fGetInQueue() const;
    TCommQueue* fGetOutQueue() const;
    // msCTS, msDSR, msRING, msRLSD from the engine's last modem status word.
    std::uint8_t fGetModemStatus() const;
    bool fGetCTS() const;
    bool fGetDSR() const;
    bool fGetRING() const;
    bool fGetRLSD() const;
    bool fGetDTR() const;
    void fSetDTR(bool Value);
    bool fGetRTS() const;
    void fSetRTS(bool Value);
    // Why the open port went away, once the engine reported EV_PORTLOST
    // (which OnCommNotify and OnPackage carry in order with the other
    // notifications); empty before that and after the next open.
    std::optional<EComm32Error> fGetPortLoss() const;
    // While set, the engine's Write takes nothing.
    bool fGetDisableWrite() const;
    void fSetDisableWrite(bool Value);

    // The TComponent parts that have no QObject counterpart. Name is the
    // objectName.
    long Tag = 0;
    // True only while the component is edited in a form designer; a
    // program leaves it false. The settings dialog shows its About and
    // Default buttons only when it is set.
    bool Designing = false;

    // Events, raised through the Ev... operations with this component as
    // Sender.
    TCommNotifyEvent OnPackage;    // (component, NotifyType): 0x0001 packages waiting, 0x0004 ...
    TCommNotifyEvent OnCommNotify; // (component, NotifyType): every engine event mask, unchanged
    TNotifyEvent AfterOpen;        // after the engine opened the port
    TNotifyEvent BeforeClose;      // before the engine closes the port

    // The numbers above QEvent::User of the two posted notifications.
    static constexpr int CommNotifyMessage = 0x0402;
    static constexpr int PackageNotifyMessage = 0x0403;

protected:
    TComm32* Comm() const { return FComm.get(); }
    // Destruction up to the package layer's end: the port is closed, the
    // layer and the frame settings are gone, and no event runs or fires
    // after it. The most derived class's destructor calls it first, so that
    // no worker thread calls an Ev... override of a part already destroyed;
    // later calls do nothing.
    void _StopNotifications();
    TCommPackage* Package() const { return FPackage.get(); }

private:
    class TNotifyWindow;
    friend class TNotifyWindow;

    // Installed on the engine and the package layer; they post or call the
    // Ev... operations as SyncEvents says.
    void _CommNotify(TObject* Sender, int NotifyType);
    void _PackageNotify(TObject* Sender, int NotifyType);
    void _AfterOpen(TObject* Sender);
    void _BeforeClose(TObject* Sender);
    void _CloseEngine();

    bool FUsePackage = false;
    std::atomic<bool> FSyncEvents{true};
    std::unique_ptr<TNotifyWindow> FNotifyWindow;
    std::unique_ptr<TComm32> FComm;
    std::unique_ptr<TCommPackage> FPackage;
    std::unique_ptr<TLxCommFrameSettings> FFrameSettings;
};

// The published component. Stored defaults are given beside each property.
class TLxCommDevice : public TLxCustomCommDevice {
    Q_OBJECT
    Q_PROPERTY(long Tag MEMBER Tag)                                                  // 0
    Q_PROPERTY(int PortNo READ fGetPortNo WRITE fSetPortNo)                          // 0
    Q_PROPERTY(TBaudRate Baud READ fGetBaud WRITE fSetBaud)                          // br110
    Q_PROPERTY(TParity Parity READ fGetParity WRITE fSetParity)                      // ptNoParity
    Q_PROPERTY(int ByteSize READ fGetByteSize WRITE fSetByteSize)                    // 0
    Q_PROPERTY(TStopBits StopBits READ fGetStopBits WRITE fSetStopBits)              // sbOneStopBit
    Q_PROPERTY(TFlowControl FlowControl READ fGetFlowControl WRITE fSetFlowControl)  // fcNone
    Q_PROPERTY(int AutoAnswer READ fGetAutoAnswer WRITE fSetAutoAnswer)              // 0
    Q_PROPERTY(bool SyncEvents READ fGetSyncEvents WRITE fSetSyncEvents)             // true
    Q_PROPERTY(long InBufSize READ fGetInBufSize WRITE fSetInBufSize)                // 0
    Q_PROPERTY(long OutBufSize READ fGetOutBufSize WRITE fSetOutBufSize)             // 0
    Q_PROPERTY(long HwInSize READ fGetHwInSize WRITE fSetHwInSize)                   // 0
    Q_PROPERTY(long HwOutSize READ fGetHwOutSize WRITE fSetHwOutSize)                // 0
    Q_PROPERTY(long QueueSize READ fGetQueueSize WRITE fSetQueueSize)                // 0
    Q_PROPERTY(long PackageSize READ fGetPackageSize WRITE fSetPackageSize)          // 0
    Q_PROPERTY(TPackageType PackageType READ _fGetPackageType WRITE _fSetPackageType) // cptCompatiblePkg
    Q_PROPERTY(long PackageInterval READ fGetPackageInterval WRITE fSetPackageInterval) // 50
    Q_PROPERTY(bool UsePackage READ fGetUsePackage WRITE fSetUsePackage)             // false
    Q_PROPERTY(OrvekComm32::TLxCommFrameSettings* FrameSettings READ fGetFrameSettings WRITE
                   fSetFrameSettings)
    // Not published, but readable by name: the run-time state.
    Q_PROPERTY(bool Active READ fGetActive WRITE fSetActive STORED false)

public:
    explicit TLxCommDevice(QObject* AOwner = nullptr);
    ~TLxCommDevice() override;

private:
    TPackageType _fGetPackageType() const;
    void _fSetPackageType(TPackageType Value);
};

// The enumerations and their values at namespace level, as their users
// name them (TBaudRate, br9600, ...).
using TBaudRate = TLxCustomCommDevice::TBaudRate;
using TParity = TLxCustomCommDevice::TParity;
using TStopBits = TLxCustomCommDevice::TStopBits;
using TFlowControl = TLxCustomCommDevice::TFlowControl;
using enum TLxCustomCommDevice::TBaudRate;
using enum TLxCustomCommDevice::TParity;
using enum TLxCustomCommDevice::TStopBits;
using enum TLxCustomCommDevice::TFlowControl;

// The bit rate of each TBaudRate value, in the enumeration's order.
inline constexpr std::uint32_t BaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
static_assert(std::size(BaudRates) == br256000 + 1);

} // namespace OrvekComm32
