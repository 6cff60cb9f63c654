// A reply handed to a REST document's reader without a network: the 200 response an exchange
// after a request for `path` would have left.
#pragma once

#include <string>
#include <utility>

#include "rest/http_response.h"

namespace vexa::test {

template <class Entity>
bool ReadOkReply(Entity& entity, std::string body, std::string contentType, std::string path) {
    HttpResponse response;
    response.status = 200;
    response.contentType = std::move(contentType);
    response.body = std::move(body);
    response.path = std::move(path);
    return entity.ReadReply(std::move(response));
}

}  // namespace vexa::test
