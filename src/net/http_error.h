// The error of the invisible fetch: a German message for the user, and the server's status.
#pragma once

#include <stdexcept>
#include <string>

namespace orv {

class HttpError : public std::runtime_error {
 public:
  explicit HttpError(const std::string& message, int status = 0)
      : std::runtime_error(message), status_(status) {}
  // The server's status code when the answer was not 2xx; 0 for every other failure.
  int Status() const { return status_; }

 private:
  int status_;
};

}  // namespace orv
