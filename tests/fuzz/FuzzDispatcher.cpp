// The receive path: every datagram the link hands on goes to Dispatcher::Dispatch.
//
// Input: one flag byte, then datagrams separated by "\n" (each cut at its first zero byte, as
// the link does; shorter than 6 characters is never dispatched).
//   bit 0  fix the checksum up, so that a mutated frame passes checkFrame and reaches its handler:
//          a datagram ending in "#" gets the right four digits before it, any other datagram
//          starting with "%" gets its checksum and "#" appended;
//   bit 1  the current unit is connected (L, O and D are only read then);
//   bit 2  an address change is in progress (P is only read then);
//   bit 3  the login is a re-login after a silence.
#include "FuzzSupport.h"
#include "model/RecordingOperator.h"

#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkState.h"
#include "model/OperatorInterface.h"
#include "model/UnitTable.h"
#include "protocol/FrameCodec.h"

#include <memory>
#include <string>

using namespace sonaro;

namespace {

constexpr int kMaxDatagrams = 16;

std::string fixChecksum(const std::string& datagram)
{
    if (datagram.size() < 2 || datagram[0] != '%') return datagram;
    std::string frame = datagram;
    if (frame.back() == '#' && frame.size() >= 6) {
        const std::size_t checked = frame.size() - 5;
        frame.replace(checked, 4, hex4(frameCrc16(frame.data(), checked)));
        return frame;
    }
    return frame + hex4(frameCrc16(frame)) + "#";
}

struct Receiver
{
    explicit Receiver(std::uint8_t flags) : state(table), link(state), dispatcher(state, link, ui)
    {
        table.current().connected = (flags & 2) ? 1 : 0;
        // Every state of the connection, chosen by three bits of the first byte.
        state.connection = static_cast<Connection>((flags >> 2) & 7);
        // No address file: a confirmed change must not write anywhere.
        state.addressFilePath.clear();
    }
    UnitTable table;
    LinkState state;
    Link link; // not started: follow-up requests are dropped
    RecordingOperator ui;
    Dispatcher dispatcher;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::ensureApplication();
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    auto receiver = std::make_unique<Receiver>(flags);
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t start = 0;
    for (int n = 0; n < kMaxDatagrams && start <= rest.size(); ++n) {
        std::size_t end = rest.find('\n', start);
        if (end == std::string_view::npos) end = rest.size();
        std::string frame(rest.substr(start, end - start));
        start = end + 1;
        if (const auto zero = frame.find('\0'); zero != std::string::npos) frame.resize(zero);
        if (flags & 1) frame = fixChecksum(std::move(frame));
        if (frame.size() < 6) continue;
        const fuzz::ExactBuffer exact(reinterpret_cast<const std::uint8_t*>(frame.data()),
                                      frame.size());
        receiver->dispatcher.dispatch(std::string_view(exact.bytes.get(), exact.size));
        SONARO_FUZZ_CHECK(UnitTable::isValidUnit(receiver->table.currentUnit()));
        SONARO_FUZZ_CHECK(receiver->state.port != 0);
    }
    return 0;
}
