#include "FrameRecorder.h"

#include "link/Link.h"

namespace sonaro::testing {

FrameRecorder::FrameRecorder(Link& link)
{
    connect(&link, &Link::frameSent, this, [this](const QByteArray& f) { m_frames.push_back(f); });
}

int FrameRecorder::count(char kind) const
{
    return count(m_frames, kind);
}

std::string FrameRecorder::kinds() const
{
    return kinds(m_frames);
}

int FrameRecorder::count(const std::vector<QByteArray>& frames, char kind)
{
    int n = 0;
    for (const QByteArray& f : frames)
        if (f.size() > 1 && f[1] == kind) ++n;
    return n;
}

std::string FrameRecorder::kinds(const std::vector<QByteArray>& frames)
{
    std::string text;
    for (const QByteArray& f : frames) {
        if (f.size() < 2) continue;
        if (!text.empty()) text += ' ';
        text += f[1];
        if (f[1] == 'L' && f.size() >= 5) text += f.mid(3, 2).toStdString();
    }
    return text;
}

} // namespace sonaro::testing
