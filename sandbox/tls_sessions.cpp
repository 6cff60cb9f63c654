#include "sandbox/tls_sessions.h"

#include <stdexcept>

namespace vexa::sandbox {

namespace {

constexpr unsigned char kSessionContext[] = "vexa-sandbox https";
// A host that idles through a working day still resumes.
constexpr long kSessionSeconds = 24 * 60 * 60;
constexpr long kCachedSessions = 4096;
// OpenSSL's own default, said here because resumption in TLS 1.3 depends on it.
constexpr size_t kTicketsPerHandshake = 2;

// A connection's SSL is freed without a close_notify of its own when the client ends the
// connection first, as a kept-alive connection ends; OpenSSL then takes the session for one
// that was cut off and drops it from the cache. A client that said goodbye (close_notify) was not
// cut off, so the connection counts as closed from both sides and its session stays.
void KeepSessionOfAGoodbye(const SSL* ssl, int where, int alert) {
    if ((where & SSL_CB_READ_ALERT) != 0 && (alert & 0xFF) == SSL_AD_CLOSE_NOTIFY) {
        SSL* connection = const_cast<SSL*>(ssl);  // the callback is handed the connection as const
        SSL_set_shutdown(connection, SSL_get_shutdown(connection) | SSL_SENT_SHUTDOWN);
    }
}

}  // namespace

void EnableSessionResumption(SSL_CTX* context) {
    SSL_CTX_set_info_callback(context, KeepSessionOfAGoodbye);
    SSL_CTX_clear_options(context, SSL_OP_NO_TICKET);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_SERVER);
    SSL_CTX_sess_set_cache_size(context, kCachedSessions);
    SSL_CTX_set_timeout(context, kSessionSeconds);
    if (SSL_CTX_set_num_tickets(context, kTicketsPerHandshake) != 1 ||
        SSL_CTX_set_session_id_context(context, kSessionContext, sizeof kSessionContext - 1) != 1) {
        throw std::runtime_error("https listener: TLS session resumption cannot be set up");
    }
}

}  // namespace vexa::sandbox
