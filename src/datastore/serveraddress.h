#pragma once

#include <QProcessEnvironment>
#include <QString>

// Whether a server address is fit to be used. A password written into it would show on
// the command line of the dump and restore tools, readable by every local account; a
// server reached over a network must prove who it is with its certificate, or a
// machine in between could read or change every sale on the way.
namespace ServerAddress {

// Empty when the address may be used, else the operator's text: what is wrong and what
// to write instead. The client library's environment (PGHOST, PGHOSTADDR, PGSSLMODE,
// PGSERVICE) counts as it does for the connection. Raises DatabaseError with the client
// library's message for an address that does not parse.
QString refusal(const QString &uri, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// The value of a client library parameter given in the address, empty when absent.
// Raises DatabaseError like refusal().
QString parameter(const QString &uri, const char *name);

} // namespace ServerAddress
