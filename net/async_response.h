#pragma once
// Results of requests run by the IAsyncHandler. A response is created on the
// worker thread that ran the request, handed to the dispatching thread through
// a future and dispatched there exactly once; after publication it is only
// touched by the dispatching thread.

#include <cstdint>
#include <memory>
#include <string>

namespace EXMI {

class IAsyncRequest;

class IAsyncResponse {
public:
    virtual ~IAsyncResponse() = default;
    // Delivers the result to the request's callbacks; the base does nothing.
    virtual void dispatch() {}

    // The request's property, or empty text when absent; locks the request.
    std::string getRequestProperty(const std::string& key) const;

    std::shared_ptr<IAsyncRequest> request;
};

// A finished transfer: status code (28 and 4294967295 stand for timeout and
// other transfer failures) and the bytes received.
class IAsyncRESTResponse : public IAsyncResponse {
public:
    IAsyncRESTResponse(uint32_t status, std::string bytes) : code(status), body(std::move(bytes)) {}

    // Calls the request's onResponse with this response, when set.
    void dispatch() override;

    uint32_t getCode() const { return code; }
    // The received bytes themselves, not a copy: answers may be large.
    const std::string& getBody() const { return body; }

private:
    uint32_t code;
    std::string body;
};

// A request whose execution threw: dispatching re-throws the message so the
// handler routes it to the request's onError.
class IAsyncExceptionResponse : public IAsyncResponse {
public:
    IAsyncExceptionResponse(std::string what, std::shared_ptr<IAsyncRequest> owner) : message(std::move(what)) {
        request = std::move(owner);
    }

    void dispatch() override;
    const std::string& getMessage() const { return message; }

private:
    std::string message;
};

}  // namespace EXMI
