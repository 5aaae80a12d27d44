#pragma once

#include <QString>

#include <optional>

namespace sonaro::server {

// The server's own roles, mapped onto the desktop's permission rule: an operator may change
// every setting but the administrator settings of the catalogue, an administrator everything.
enum class Role
{
    Operator,
    Administrator
};

QString roleName(Role role); // "operator", "administrator"
std::optional<Role> parseRole(const QString& text);

// Who is behind a request: a user of the server or a control system's token.
struct Identity
{
    QString name;
    Role role = Role::Operator;
    bool token = false;
};

} // namespace sonaro::server
