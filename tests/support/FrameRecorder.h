#pragma once

#include <QByteArray>
#include <QObject>

#include <string>
#include <vector>

namespace sonaro {
class Link;
}

namespace sonaro::testing {

// Keeps every frame a link sent whole, in order, and answers the questions tests ask of them.
class FrameRecorder : public QObject
{
public:
    explicit FrameRecorder(Link& link);

    const std::vector<QByteArray>& frames() const { return m_frames; }
    void clear() { m_frames.clear(); }
    // How many frames of this kind letter were sent.
    int count(char kind) const;
    // The kind letters in order, L with its argument ("L00", "L01"), separated by blanks.
    std::string kinds() const;

    // The same for any list of frames (a virtual unit's received frames, say).
    static int count(const std::vector<QByteArray>& frames, char kind);
    static std::string kinds(const std::vector<QByteArray>& frames);

private:
    std::vector<QByteArray> m_frames;
};

} // namespace sonaro::testing
