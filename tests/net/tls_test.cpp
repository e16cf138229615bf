// Encrypted connections against a TLS server on 127.0.0.1 whose
// certificates the test makes: a certificate the system does not trust is
// accepted the first time and kept, the same one later silently, a changed
// one refused until it is forgotten.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <cstdlib>
#include <filesystem>

#include "net_client.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

std::string Text(std::string_view cp1251) { return std::string(cp1251); }

struct Identity {
  QSslCertificate certificate{QByteArray()};
  QSslKey key;
};

// A self-signed certificate made by the system's openssl.
Identity MakeIdentity(const fs::path& dir, const std::string& name) {
  const fs::path key = dir / (name + ".key"), cert = dir / (name + ".pem");
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=" + name +
                              " -keyout " + key.string() + " -out " + cert.string() + " 2>/dev/null";
  Identity id;
  if (std::system(command.c_str()) != 0) return id;
  QFile k(QString::fromStdString(key.string())), c(QString::fromStdString(cert.string()));
  if (!k.open(QIODevice::ReadOnly) || !c.open(QIODevice::ReadOnly)) return id;
  id.certificate = QSslCertificate(c.readAll());
  id.key = QSslKey(k.readAll(), QSsl::Rsa);
  return id;
}

// Greets every client over TLS and hangs up after its first line.
class GreetingServer {
 public:
  explicit GreetingServer(const Identity& id) {
    Use(id);
    QObject::connect(&server_, &QSslServer::pendingConnectionAvailable, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        s->write("Welcome over TLS!\r\n");
        QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
          received_ += s->readAll().toStdString();
          if (received_.find('\r') != std::string::npos) s->disconnectFromHost();
        });
      }
    });
    server_.listen(QHostAddress::LocalHost, 0);
  }
  void Use(const Identity& id) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(id.certificate);
    config.setPrivateKey(id.key);
    server_.setSslConfiguration(config);
  }
  int Port() const { return server_.serverPort(); }
  std::string received_;

 private:
  QSslServer server_;
};

TEST(TlsTest, FirstUseIsKeptTheSameIsQuietAChangedOneIsRefused) {
  if (!QSslSocket::supportsSsl()) GTEST_SKIP() << "no TLS library";
  const fs::path dir = fs::temp_directory_path() / ("tarnel-tls-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  qputenv("TARNEL_HOME", dir.string().c_str());
  const Identity first = MakeIdentity(dir, "first"), second = MakeIdentity(dir, "second");
  ASSERT_FALSE(first.certificate.isNull());
  ASSERT_FALSE(second.certificate.isNull());
  const std::string fingerprint =
      first.certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString();
  GreetingServer server(first);
  ASSERT_GT(server.Port(), 0);
  const std::string key = "tls.127.0.0.1:" + std::to_string(server.Port());

  NetClient c;
  c.client.store.Variables().SetValue("global._tls", "on");
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForText("Welcome over TLS!\r\n")) << Render(c.host.main);
  EXPECT_EQ(c.Count(fingerprint), 1) << Render(c.host.main);
  EXPECT_EQ(c.client.settings.GetValue(key), fingerprint);
  // The connection is made only after the handshake: its message comes
  // after the certificate's.
  EXPECT_LT(c.host.main.find(fingerprint), c.host.main.find("Установлено соединение"_cp));
  c.Type("hello");
  ASSERT_TRUE(c.WaitForDisconnect());
  EXPECT_EQ(server.received_, "hello\r");
  TStringList saved;
  ASSERT_TRUE(saved.LoadFromFile((dir / "TARNEL.ini").string()));
  EXPECT_EQ(saved.GetValue(key), fingerprint);

  // The same certificate again: no word about it.
  c.host.main.clear();
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForText("Welcome over TLS!\r\n")) << Render(c.host.main);
  EXPECT_EQ(c.Count("SHA-256"), 0) << Render(c.host.main);
  c.Type("/disconnect");

  // Another certificate on the same host and port: refused, nothing read.
  server.Use(second);
  c.host.main.clear();
  c.Connect(server.Port());
  // (Through a function: clang 14 crashes on a converted literal in a
  // lambda.)
  const std::string refused = Text("Ошибка 71"_cp);
  ASSERT_TRUE(c.WaitFor([&] { return c.host.main.find(refused) != std::string::npos; })) << Render(c.host.main);
  EXPECT_NE(c.host.main.find("/forgetcert 127.0.0.1 " + std::to_string(server.Port())), std::string::npos);
  EXPECT_EQ(c.host.main.find("Welcome over TLS!"), std::string::npos);
  EXPECT_EQ(c.client.connection.GetState(), Connection::State::Disconnected);
  EXPECT_EQ(c.client.settings.GetValue(key), fingerprint);

  // Forgotten, the new one is taken the next time.
  c.Type("/forgetcert 127.0.0.1 " + std::to_string(server.Port()));
  c.host.main.clear();
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForText("Welcome over TLS!\r\n")) << Render(c.host.main);
  EXPECT_EQ(c.client.settings.GetValue(key),
            second.certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString());
  c.Type("/disconnect");
  qunsetenv("TARNEL_HOME");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnel::test
