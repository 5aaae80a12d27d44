// The address file reader and the address normaliser.
// Input: one mode byte, then the text. Mode bit 0 clear: the text is normalised (both overloads);
// set: the text is written as ip.ini and read back.
// Properties: a normalised address is four decimal numbers joined by dots and normalises to
// itself; the port read is never 0.
#include "FuzzSupport.h"

#include "link/AddressFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <string>

using namespace sonaro;

namespace {

QTemporaryDir* dir = nullptr;

void checkNormalised(const std::string& text)
{
    int dots = 0;
    for (char c : text) {
        SONARO_FUZZ_CHECK(c == '.' || c == '-' || (c >= '0' && c <= '9'));
        if (c == '.') ++dots;
    }
    SONARO_FUZZ_CHECK(dots == 3);
    SONARO_FUZZ_CHECK(normaliseAddress(std::string_view(text)) == text);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::ensureApplication();
    fuzz::quietQt();
    dir = new QTemporaryDir;
    SONARO_FUZZ_CHECK(dir->isValid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const fuzz::ExactBuffer text(data + 1, size - 1);
    const std::string_view view(text.bytes.get(), text.size);
    if ((data[0] & 1) == 0) {
        const std::string normalised = normaliseAddress(view);
        checkNormalised(normalised);
        const QString wide =
            normaliseAddress(QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size())));
        checkNormalised(wide.toStdString());
        return 0;
    }
    const QString path = dir->filePath(QStringLiteral("ip.ini"));
    {
        QFile file(path);
        SONARO_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(view.data(), static_cast<qint64>(view.size()));
    }
    const AddressFileEntry entry = readAddressFile(path);
    SONARO_FUZZ_CHECK(entry.port != 0);
    if (!entry.ip.isEmpty()) checkNormalised(entry.ip.toStdString());
    return 0;
}
