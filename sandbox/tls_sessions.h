// TLS session resumption on the HTTPS listener: a host that comes back with the session of an
// earlier connection skips the full handshake.
#pragma once

#include <openssl/ssl.h>

namespace vexa::sandbox {

// Turns on TLS 1.3 and TLS 1.2 session tickets, and the server-side session cache (with a session
// id context) through which TLS 1.2 clients without tickets resume. Throws when OpenSSL refuses.
void EnableSessionResumption(SSL_CTX* context);

}  // namespace vexa::sandbox
