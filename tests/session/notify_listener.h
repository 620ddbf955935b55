#pragma once

// A service manager's notification socket, as far as a test needs one: a datagram socket
// bound in a folder of its own, whose messages are read as they come.

#include <QByteArray>
#include <QByteArrayList>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class NotifyListener {
public:
    NotifyListener() {
        m_path = QFile::encodeName(m_dir.filePath(QStringLiteral("notify")));
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (!m_dir.isValid() || static_cast<size_t>(m_path.size()) >= sizeof address.sun_path) {
            return;
        }
        std::memcpy(address.sun_path, m_path.constData(), static_cast<size_t>(m_path.size()));
        m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_socket >= 0 &&
            ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_socket);
            m_socket = -1;
        }
    }
    ~NotifyListener() {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }
    NotifyListener(const NotifyListener&) = delete;
    NotifyListener& operator=(const NotifyListener&) = delete;

    bool IsValid() const { return m_socket >= 0; }
    const QByteArray& Path() const { return m_path; }

    // The messages that came since the last call, one per datagram.
    QByteArrayList Take() const {
        QByteArrayList messages;
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::recv(m_socket, buffer, sizeof buffer, 0)) >= 0) {
            messages.append(QByteArray(buffer, got));
        }
        return messages;
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
    int m_socket = -1;
};
