#include "app/HandOverMessage.h"

#include <QtEndian>

#include <cstring>

namespace tessel {

namespace {

constexpr char kMagic[8] = {'T', 'S', 'L', 'F', 'I', 'L', 'E', 'S'};
constexpr quint32 kVersion = 1;
constexpr qsizetype kHeaderBytes = sizeof(kMagic) + 8;

void PutU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 GetU32(const char* at) {
    return qFromBigEndian<quint32>(at);
}

} // namespace

QByteArray EncodeHandOver(const std::vector<std::string>& paths) {
    QByteArray out(kMagic, sizeof(kMagic));
    PutU32(out, kVersion);
    PutU32(out, static_cast<quint32>(paths.size()));
    for (const std::string& path : paths) {
        PutU32(out, static_cast<quint32>(path.size()));
        out.append(path.data(), static_cast<qsizetype>(path.size()));
    }
    return out;
}

HandOverParse ParseHandOver(const QByteArray& bytes, std::vector<std::string>& paths) {
    if (static_cast<std::size_t>(bytes.size()) > kMaxHandOverBytes)
        return HandOverParse::Invalid;
    // A wrong start shows as soon as its bytes arrive.
    const qsizetype magicSeen = std::min<qsizetype>(bytes.size(), sizeof(kMagic));
    if (std::memcmp(bytes.constData(), kMagic, static_cast<std::size_t>(magicSeen)) != 0)
        return HandOverParse::Invalid;
    if (bytes.size() < kHeaderBytes)
        return HandOverParse::Incomplete;
    const char* data = bytes.constData();
    if (GetU32(data + sizeof(kMagic)) != kVersion)
        return HandOverParse::Invalid;
    const quint32 count = GetU32(data + sizeof(kMagic) + 4);
    if (count > kMaxHandOverPaths)
        return HandOverParse::Invalid;

    std::vector<std::string> found;
    qsizetype at = kHeaderBytes;
    for (quint32 i = 0; i < count; ++i) {
        if (bytes.size() - at < 4)
            return HandOverParse::Incomplete;
        const quint32 length = GetU32(data + at);
        at += 4;
        // An empty path names no file; a NUL cannot be part of one.
        if (length == 0 || length > kMaxHandOverPathBytes)
            return HandOverParse::Invalid;
        if (bytes.size() - at < static_cast<qsizetype>(length))
            return HandOverParse::Incomplete;
        std::string path(data + at, length);
        if (path.find('\0') != std::string::npos)
            return HandOverParse::Invalid;
        found.push_back(std::move(path));
        at += length;
    }
    if (at != bytes.size())
        return HandOverParse::Invalid;
    paths = std::move(found);
    return HandOverParse::Complete;
}

} // namespace tessel
