#pragma once

#include "server/Identity.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The server's users and API tokens, kept in one JSON file readable by its owner only. Passwords
// are kept as salted PBKDF2-SHA256 hashes, tokens (long random texts) as their SHA-256, so that
// the file gives away neither.
namespace sonaro::server {

struct Credential
{
    QString name;
    Role role = Role::Operator;
    QByteArray salt;
    int iterations = 0;
    QByteArray hash;
};

class UserStore
{
public:
    // Iterations of new password hashes; the count is stored with each hash, so it can grow.
    static constexpr int kIterations = 100000;

    explicit UserStore(QString path);

    const QString& path() const { return m_path; }
    // A missing file is an empty store; a file others can read is refused.
    bool load(QString* problem);
    bool save(QString* problem) const;

    // A name of 1 to 32 letters, digits, dots, hyphens or underscores.
    static bool validName(const QString& name);

    // Adds the user or gives an existing one a new password and role.
    bool setUser(const QString& name, Role role, const QString& password, QString* problem,
                 int iterations = kIterations);
    bool removeUser(const QString& name);
    std::optional<Credential> user(const QString& name) const;
    const QList<Credential>& users() const { return m_users; }

    // A new token for a control system; the text is shown once and kept only as its hash.
    std::optional<QString> addToken(const QString& name, Role role, QString* problem);
    bool removeToken(const QString& name);
    const QList<Credential>& tokens() const { return m_tokens; }
    std::optional<Identity> identifyToken(const QString& token) const;

    static QByteArray passwordHash(const QString& password, const QByteArray& salt, int iterations);
    // Compares in time independent of where the hashes differ.
    static bool passwordMatches(const Credential& credential, const QString& password);
    // A credential no password matches, for checking an unknown name in the same time.
    static Credential decoy();

private:
    QString m_path;
    QList<Credential> m_users;
    QList<Credential> m_tokens;
};

} // namespace sonaro::server
