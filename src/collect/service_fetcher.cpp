#include "collect/works_collector.h"
#include "web/http_request.h"

namespace kestrano {
namespace {

// Every page of one collection goes through one request holder, so the connection stays open.
class ServiceFetcher : public PageFetcher {
 public:
  explicit ServiceFetcher(std::function<bool()> should_abort)
      : origin_(current_service_origin()), headers_(works_request_headers(origin_)),
        should_abort_(std::move(should_abort)) {}

  PageAnswer fetch(const Text& body) override {
    HttpOptions options;
    options.method = 1;
    options.body_text = body;
    options.headers = headers_;
    options.no_redirect = true;
    options.request_object = &connection_;
    options.should_abort = should_abort_;
    HttpResult result = http_request(origin_.origin + "/mvideo/api?log=vhk", options);
    return {std::move(result.body), result.status};
  }

 private:
  const ServiceOrigin origin_;
  const Text headers_;
  std::function<bool()> should_abort_;
  RequestObject connection_;
};

}  // namespace

std::unique_ptr<PageFetcher> make_service_fetcher(std::function<bool()> should_abort) {
  return std::make_unique<ServiceFetcher>(std::move(should_abort));
}

}  // namespace kestrano
