#include "server/UserStore.h"

#include "server/PrivateFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace sonaro::server {

namespace {

constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
constexpr int kTokenBytes = 32;
constexpr int kFileVersion = 1;
// Hashes of fewer iterations than this are not believed (a hand-edited or damaged file).
constexpr int kMinIterations = 1000;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), count / 4);
    return bytes;
}

bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

QByteArray tokenHash(const QString& token)
{
    return QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256);
}

QJsonObject toJson(const Credential& c)
{
    QJsonObject o{{"name", c.name},
                  {"role", roleName(c.role)},
                  {"hash", QString::fromLatin1(c.hash.toBase64())}};
    if (c.iterations > 0) {
        o.insert("salt", QString::fromLatin1(c.salt.toBase64()));
        o.insert("iterations", c.iterations);
    }
    return o;
}

std::optional<Credential> fromJson(const QJsonValue& value, bool password)
{
    const QJsonObject o = value.toObject();
    Credential c;
    c.name = o.value("name").toString();
    const auto role = parseRole(o.value("role").toString());
    c.hash = QByteArray::fromBase64(o.value("hash").toString().toLatin1());
    if (!UserStore::validName(c.name) || !role || c.hash.size() != kHashBytes) return std::nullopt;
    c.role = *role;
    if (password) {
        c.salt = QByteArray::fromBase64(o.value("salt").toString().toLatin1());
        c.iterations = o.value("iterations").toInt();
        if (c.salt.isEmpty() || c.iterations < kMinIterations) return std::nullopt;
    }
    return c;
}

template <typename List> bool removeNamed(List& list, const QString& name)
{
    return list.removeIf([&](const Credential& c) { return c.name == name; }) > 0;
}

} // namespace

QString roleName(Role role)
{
    return role == Role::Administrator ? QStringLiteral("administrator")
                                       : QStringLiteral("operator");
}

std::optional<Role> parseRole(const QString& text)
{
    if (text == QLatin1String("administrator")) return Role::Administrator;
    if (text == QLatin1String("operator")) return Role::Operator;
    return std::nullopt;
}

UserStore::UserStore(QString path) : m_path(std::move(path)) {}

bool UserStore::validName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._-]{1,32}$"));
    return pattern.match(name).hasMatch();
}

bool UserStore::load(QString* problem)
{
    m_users.clear();
    m_tokens.clear();
    QFile file(m_path);
    if (!file.exists()) return true;
    if (const QString exposure = privateFileExposure(m_path); !exposure.isEmpty()) {
        *problem = exposure;
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
        return false;
    }
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError ||
        root.value("schemaVersion").toInt() != kFileVersion) {
        *problem = QStringLiteral("%1 is not a users file of this version").arg(m_path);
        return false;
    }
    for (const QJsonValue& v : root.value("users").toArray())
        if (const auto c = fromJson(v, true)) m_users.append(*c);
    for (const QJsonValue& v : root.value("tokens").toArray())
        if (const auto c = fromJson(v, false)) m_tokens.append(*c);
    return true;
}

bool UserStore::save(QString* problem) const
{
    QJsonArray users;
    for (const Credential& c : m_users)
        users.append(toJson(c));
    QJsonArray tokens;
    for (const Credential& c : m_tokens)
        tokens.append(toJson(c));
    const QJsonObject root{{"schemaVersion", kFileVersion}, {"users", users}, {"tokens", tokens}};
    return writePrivateFile(m_path, QJsonDocument(root).toJson(), problem);
}

bool UserStore::setUser(const QString& name, Role role, const QString& password, QString* problem,
                        int iterations)
{
    if (!validName(name)) {
        *problem = QStringLiteral("'%1' is not a user name: 1 to 32 letters, digits, '.', '-' "
                                  "or '_'")
                       .arg(name);
        return false;
    }
    if (password.isEmpty()) {
        *problem = QStringLiteral("the password is empty");
        return false;
    }
    Credential c;
    c.name = name;
    c.role = role;
    c.salt = randomBytes(kSaltBytes);
    c.iterations = std::max(iterations, kMinIterations);
    c.hash = passwordHash(password, c.salt, c.iterations);
    removeNamed(m_users, name);
    m_users.append(c);
    return true;
}

bool UserStore::removeUser(const QString& name)
{
    return removeNamed(m_users, name);
}

std::optional<Credential> UserStore::user(const QString& name) const
{
    for (const Credential& c : m_users)
        if (c.name == name) return c;
    return std::nullopt;
}

std::optional<QString> UserStore::addToken(const QString& name, Role role, QString* problem)
{
    if (!validName(name)) {
        *problem = QStringLiteral("'%1' is not a token name: 1 to 32 letters, digits, '.', '-' "
                                  "or '_'")
                       .arg(name);
        return std::nullopt;
    }
    const QString token = QStringLiteral("sonaro_") +
                          QString::fromLatin1(randomBytes(kTokenBytes)
                                                  .toBase64(QByteArray::Base64UrlEncoding |
                                                            QByteArray::OmitTrailingEquals));
    Credential c;
    c.name = name;
    c.role = role;
    c.hash = tokenHash(token);
    removeNamed(m_tokens, name);
    m_tokens.append(c);
    return token;
}

bool UserStore::removeToken(const QString& name)
{
    return removeNamed(m_tokens, name);
}

std::optional<Identity> UserStore::identifyToken(const QString& token) const
{
    const QByteArray hash = tokenHash(token);
    std::optional<Identity> found;
    for (const Credential& c : m_tokens)
        if (sameBytes(c.hash, hash)) found = Identity{c.name, c.role, true};
    return found;
}

QByteArray UserStore::passwordHash(const QString& password, const QByteArray& salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, kHashBytes);
}

bool UserStore::passwordMatches(const Credential& credential, const QString& password)
{
    return sameBytes(passwordHash(password, credential.salt, credential.iterations),
                     credential.hash);
}

Credential UserStore::decoy()
{
    Credential c;
    c.salt = randomBytes(kSaltBytes);
    c.iterations = kIterations;
    c.hash = randomBytes(kHashBytes);
    return c;
}

} // namespace sonaro::server
