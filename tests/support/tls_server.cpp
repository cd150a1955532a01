#include "support/tls_server.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace kelvaro::test {
namespace {

// A fresh key and a certificate for 127.0.0.1 signed by that key: no file, no expiry worry.
void MakeSelfSigned(EVP_PKEY** key_out, X509** cert_out) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  if (!key || !cert) throw std::runtime_error("key or certificate");
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  if (X509_sign(cert, key, EVP_sha256()) == 0) throw std::runtime_error("sign");
  *key_out = key;
  *cert_out = cert;
}

}  // namespace

struct TlsServer::State {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  std::unique_ptr<httplib::SSLServer> server;
  int port = 0;
  std::thread thread;
};

TlsServer::TlsServer(Handler handler) : state_(std::make_unique<State>()) {
  MakeSelfSigned(&state_->key, &state_->cert);
  state_->server = std::make_unique<httplib::SSLServer>(state_->cert, state_->key);
  if (!state_->server->is_valid()) throw std::runtime_error("SSL server");
  // One request per connection: stopping never waits out an idle keep-alive connection
  // held by the client's pool.
  state_->server->set_keep_alive_max_count(1);
  state_->server->Get(".*", handler);
  state_->server->Post(".*", handler);
  state_->port = state_->server->bind_to_any_port("127.0.0.1");
  if (state_->port <= 0) throw std::runtime_error("bind");
  state_->thread = std::thread([server = state_->server.get()] { server->listen_after_bind(); });
  // stop() only takes effect once the server runs.
  while (!state_->server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TlsServer::~TlsServer() {
  state_->server->stop();
  if (state_->thread.joinable()) state_->thread.join();
  state_->server.reset();
  X509_free(state_->cert);
  EVP_PKEY_free(state_->key);
}

int TlsServer::port() const { return state_->port; }

std::string TlsServer::Url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(port()) + path;
}

}  // namespace kelvaro::test
