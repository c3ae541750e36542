#pragma once
// The controller link as the tool runs it, once for the window and ccdl:
// given the link state, what to send and what to show for each received
// package, and for the operator's three moves (the port opened, "传送",
// "断开"). Each answer is a list of plain values that the caller carries
// out in order; the re-send checks come separately, after the actions of a
// package have been carried out (a modal "发送完毕" may let other packages
// change the state in between).
//
// The link state is the pair (label, LinkRequested); it starts ("断开", 0).
// Received package, by its code (byte 3 of a package that begins with 7E):
//   2: the label reads "连接", "传送" and "断开" are enabled;
//   3: LinkRequested 0, the label reads "断开", the poll ends at once;
//   4, 5, 6: the "开", "电脑", "视频" sequence frame (command code + 1);
//   7: the line-settings frame; 8: "发送完毕"; anything else: nothing.
// After every package that did not end the poll: the connect request when
// the label reads "断开" and LinkRequested is 1, the disconnect request
// when it reads "连接" and LinkRequested is 0.
//
// Pure functions of their arguments; any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ControllerLink {

using TBytes = std::vector<std::uint8_t>;

enum class TLabel : std::uint8_t { LinkDown, LinkUp }; // "断开", "连接"

struct TState {
    TLabel Label = TLabel::LinkDown;
    bool LinkRequested = false;
    bool operator==(const TState&) const = default;
};

// The configuration as it reads at the moment a frame is built.
class TConfiguration {
public:
    virtual ~TConfiguration() = default;
    // The bytes of the sequence sent as command `code`, 4 to 7 ("关" to "视频").
    virtual TBytes Sequence(std::uint8_t code) const = 0;
    // The selected item indexes of the parity and baud lists, -1 for none.
    virtual int ParityIndex() const = 0;
    virtual int BaudIndex() const = 0;
};

struct TAction {
    enum TKind : std::uint8_t {
        Send,            // write Frame as one package
        ShowLinkUp,      // the label reads "连接"; "传送" and "断开" are enabled
        ShowLinkDown,    // the label reads "断开"
        ShowSendingDone, // the message "发送完毕", modal
    };
    TKind Kind;
    TBytes Frame; // Send only
    bool operator==(const TAction&) const = default;
};

struct TReaction {
    std::vector<TAction> Actions; // in order
    bool EndPoll = false;         // code 3: no re-send check, no further package now
};

// A received package; `state` becomes the state after it.
TReaction Receive(TState& state, std::span<const std::uint8_t> package, const TConfiguration& configuration);
// The re-send check that follows each package that did not end the poll.
std::optional<TBytes> Resend(const TState& state);
// The port was opened: LinkRequested 1 and the connect request.
TBytes Opened(TState& state);
// "传送": the "关" sequence frame, in any state.
TBytes Transfer(const TConfiguration& configuration);
// "断开": LinkRequested 0 and the disconnect request; the label stays.
TBytes Disconnect(TState& state);

} // namespace ControllerLink
