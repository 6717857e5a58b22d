#include "emulator/exchange.h"

#include "emulator/json.h"

namespace emulator {

namespace {

std::string malformedBody(Endpoint endpoint) {
    switch (endpoint) {
    case Endpoint::Authorize: return "<!doctype html><html><body><form method=\"post\" act";
    case Endpoint::Token: return "{\"access_token\":\"";
    case Endpoint::ProjectsList: return "{\"data\":[{\"display_name\":\"Broken\",";
    case Endpoint::ProjectCreate: return "{\"data\":{\"library_project_id\":";
    case Endpoint::Thumbnail: return "{\"data\":";
    case Endpoint::FilesAnnounce:
    case Endpoint::JobsAnnounce: return "{\"data\":{\"upload_url\":\"https://";
    case Endpoint::StoragePut: return "{\"stored\":";
    }
    return "{";
}

// Valid JSON in which the member the client relies on has the wrong type.
std::string wrongTypeBody(Endpoint endpoint) {
    switch (endpoint) {
    case Endpoint::Authorize: return std::string();  // answered as a redirect, see below
    case Endpoint::Token:
        return "{\"access_token\":\"x\",\"token_type\":\"Bearer\",\"expires_in\":\"3600\","
               "\"refresh_token\":\"y\"}";
    case Endpoint::ProjectsList: return "{\"data\":[{\"display_name\":\"Broken\",\"library_project_id\":42}]}";
    case Endpoint::ProjectCreate: return "{\"data\":{\"display_name\":\"Broken\",\"library_project_id\":42}}";
    case Endpoint::Thumbnail: return "{\"data\":{\"thumbnail\":42}}";
    case Endpoint::FilesAnnounce: return "{\"data\":{\"file_id\":\"x\",\"upload_url\":42}}";
    case Endpoint::JobsAnnounce: return "{\"data\":{\"job_id\":7,\"upload_url\":42}}";
    case Endpoint::StoragePut: return "{\"stored\":\"yes\"}";
    }
    return "{}";
}

const char* contentTypeOf(Endpoint endpoint) {
    return endpoint == Endpoint::Authorize ? "text/html; charset=utf-8" : "application/json";
}

// Headers announce more than is sent; the provider gives half of the body
// and then fails, which makes the server close the connection mid-body.
void dropMidBody(httplib::Response& res, Endpoint endpoint) {
    std::string part = malformedBody(endpoint);
    res.status = 200;
    res.set_content_provider(part.size() + 1024, contentTypeOf(endpoint),
                             [part](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (offset == 0) sink.write(part.data(), part.size());
                                 return false;
                             });
}

void record(ServiceState& state, const Call& call, bool dropped) {
    RecordedRequest r;
    r.method = call.req.method;
    r.path = call.req.path;
    std::size_t q = call.req.target.find('?');
    if (q != std::string::npos) r.query = call.req.target.substr(q + 1);
    for (const auto& h : call.req.headers) r.headers.emplace_back(h.first, h.second);
    if (call.streamed) {
        r.bodySize = call.bodySize;
    } else {
        r.body = call.req.body;
        r.bodySize = call.req.body.size();
    }
    r.status = dropped ? 0 : call.res.status;
    state.log.add(std::move(r));
}

}  // namespace

void serveEndpoint(ServiceState& state, Endpoint endpoint, const httplib::Request& req, httplib::Response& res,
                   const Serve& serve, const Serve& drain) {
    Call call{req, res};
    Fault fault = state.faults.take(endpoint);
    bool dropped = false;
    auto inPlace = [&] {
        if (drain) drain(call);
    };
    switch (fault.kind) {
    case Fault::Kind::None:
    case Fault::Kind::UntrustedCertificate:  // handled at the handshake
        serve(call);
        break;
    case Fault::Kind::Delay:
        if (state.stop.sleepFor(std::chrono::duration<double>(fault.delaySeconds))) {
            serve(call);
        } else {
            inPlace();
            answerJson(res, 503, errorJson("unavailable", "emulator stopping"));
        }
        break;
    case Fault::Kind::Status:
        inPlace();
        if (fault.body.empty()) {
            answerJson(
                res, fault.status,
                errorJson("injected_fault", "status " + std::to_string(fault.status) + " injected by the emulator"));
        } else {
            res.status = fault.status;
            res.set_content(fault.body, "application/json");
        }
        break;
    case Fault::Kind::MalformedJson:
    case Fault::Kind::WrongType: {
        bool malformed = fault.kind == Fault::Kind::MalformedJson;
        if (endpoint == Endpoint::StoragePut) {
            serve(call);
            if (res.status == 200) {
                res.set_content(malformed ? malformedBody(endpoint) : wrongTypeBody(endpoint), "application/json");
            }
            break;
        }
        inPlace();
        if (endpoint == Endpoint::Authorize && !malformed) {
            // A sign-in redirect whose code is empty.
            redirect(res, state.accounts.redirectUri() +
                              "?code=&state=" + httplib::detail::encode_query_param(req.get_param_value("state")));
            break;
        }
        res.status = 200;
        res.set_content(malformed ? malformedBody(endpoint) : wrongTypeBody(endpoint), contentTypeOf(endpoint));
        break;
    }
    case Fault::Kind::DropConnection:
        inPlace();
        dropMidBody(res, endpoint);
        dropped = true;
        break;
    }
    record(state, call, dropped);
}

void servePlain(ServiceState& state, const httplib::Request& req, httplib::Response& res, const Serve& serve) {
    Call call{req, res};
    serve(call);
    record(state, call, false);
}

void answerJson(httplib::Response& res, int status, const std::string& json) {
    res.status = status;
    res.set_content(json, "application/json");
}

void answerHtml(httplib::Response& res, int status, const std::string& html) {
    res.status = status;
    res.set_content(html, "text/html; charset=utf-8");
}

void redirect(httplib::Response& res, const std::string& location) { res.set_redirect(location, 302); }

Params parseParams(const std::string& text) {
    Params params;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('&', pos);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(pos, end - pos);
        if (!item.empty()) {
            std::size_t eq = item.find('=');
            std::string key = item.substr(0, eq);
            std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
            params.emplace(httplib::detail::decode_url(key, true), httplib::detail::decode_url(value, true));
        }
        pos = end + 1;
    }
    return params;
}

Params formParams(const httplib::Request& req) {
    if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0) {
        return Params();
    }
    return parseParams(req.body);
}

Params queryParams(const httplib::Request& req) {
    std::size_t q = req.target.find('?');
    return q == std::string::npos ? Params() : parseParams(req.target.substr(q + 1));
}

std::string cookieValue(const httplib::Request& req, const std::string& name) {
    std::string cookies = req.get_header_value("Cookie");
    std::size_t pos = 0;
    while (pos < cookies.size()) {
        std::size_t end = cookies.find(';', pos);
        if (end == std::string::npos) end = cookies.size();
        std::string item = cookies.substr(pos, end - pos);
        std::size_t start = item.find_first_not_of(' ');
        if (start != std::string::npos) item = item.substr(start);
        if (item.rfind(name + "=", 0) == 0) return item.substr(name.size() + 1);
        pos = end + 1;
    }
    return std::string();
}

}  // namespace emulator
