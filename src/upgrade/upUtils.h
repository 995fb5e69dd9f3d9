#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Plain rules of the transfer client, kept apart so they can be checked without a
// server: address split, header dates, proxy bypass list, transfer statistics,
// status texts and the stored credentials.

struct TupURLParts
{
    QString Scheme;
    QString HostName;
    QString UserName;
    QString Password;
    QString UrlPath;
    QString ExtraInfo; // "?query" and/or "#fragment", with its leading character
    int Port = 0;      // the scheme's default when the address names none
};

// Splits an address; one without "://" is read as "http://" followed by it. On
// failure (no scheme, a port that is not a number from 0 to 65535, a part longer
// than the split allows) every part is empty, the port is 0, and false is returned.
bool upCrackURL(const QString &url, TupURLParts &parts);

// An HTTP header date (the three forms of HTTP/1.1, with or without a zone offset)
// as local time. Invalid (meaning "absent") for an empty or unreadable text.
QDateTime upHTTPDateToDateTime(const QString &text);

// Whether a request to host:port bypasses the proxy under a bypass list: entries
// separated by ";", "," or blanks, "*" and "?" wildcards, letter case ignored; an
// entry with a port is matched against "host:port"; "<local>" matches host names
// without a dot.
bool upProxyBypassed(const QString &bypassList, const QString &host, int port);

struct TupTransferStatistics
{
    int PercentsDone = 0;          // 0 ... 100, halves rounded to even
    qint64 ElapsedTime = 0;        // whole seconds
    qint64 EstimatedTimeLeft = 0;  // seconds; 0 when the length is unknown
    float TransferRate = 0;        // kilobytes (1024 bytes) per second
};

TupTransferStatistics upTransferStatistics(qint64 contentLength, qint64 bytesRead, qint64 elapsedMilliseconds);

// Text of a transfer status code ("Resolving name", ..., "Unknown status").
QString upStatusText(int code);

// Transfer status codes reported to OnStatusChange.
enum TupStatusCode {
    usResolvingName = 10,
    usNameResolved = 11,
    usConnectingToServer = 20,
    usConnectedToServer = 21,
    usSendingRequest = 30,
    usRequestSent = 31,
    usReceivingResponse = 40,
    usResponseReceived = 41,
    usCtlResponseReceived = 42,
    usPrefetch = 43,
    usClosingConnection = 50,
    usConnectionClosed = 51,
    usHandleCreated = 60,
    usHandleClosing = 70,
    usRequestComplete = 100,
    usRedirect = 110,
    usIntermediateResponse = 120,
    usStateChange = 200,
};

// The stored form of a user name and password ("LInfo"): one length byte N, then N
// scrambled bytes holding the user name as a length-prefixed string followed by the
// password. Empty when both are empty. Throws AppError when the two do not fit.
QByteArray upWriteLoginInfo(const QString &userName, const QString &password);
// Reads a stored form; false (and the outputs untouched) when it is malformed.
bool upReadLoginInfo(const QByteArray &data, QString &userName, QString &password);
