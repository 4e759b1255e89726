#include <memory>

#include "app/Config.h"
#include "base/Error.h"
#include "feedback/FormEncoder.h"
#include "feedback/HttpClient.h"
#include "ui/Main.h"

void TMainForm::SendFeedback() {
  if (!IdHTTP1) throw TError(u"The feedback has already been sent");
  // The client serves this one request: it is released however the request ends.
  const std::unique_ptr<TIdHTTP> http = std::move(IdHTTP1);
  // A multi-line edit's text already joins its lines with CR LF, with no break after the last.
  const auto form = BuildFeedbackForm(Edit1.Caption(), ver_lb.Caption(), Memo1.Caption(), AppName);
  try {
    http->Post(DelURL, form);  // the answer's body is of no use here
  } catch (...) {
    http->Disconnect();
    throw;
  }
  http->Disconnect();
}
