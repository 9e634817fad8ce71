// nimbalight-share: uploads a photo to one online service the way its
// service view does: the network check, the service's requests one after
// the other, the credential-store writes of a completed upload, and the
// view's alert as the outcome.
#pragma once

#include "share/services/FacebookGraphProtocol.h"
#include "share/services/FlickrProtocol.h"
#include "share/services/PicasaProtocol.h"
#include "share/services/ShareOutcome.h"
#include "share/services/TwitterProtocol.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

enum class ShareService { Facebook, Flickr, Picasa, Twitter };

// The environment variables a password or a token may come from instead of
// the command line, where every user of the machine can read it.
inline constexpr char kSharePasswordVariable[] = "NIMBALIGHT_SHARE_PASSWORD";
inline constexpr char kShareTokenVariable[] = "NIMBALIGHT_SHARE_TOKEN";

// Everything one run needs, as the service view would hold it before its
// send button is tapped. The photo is read by the run.
struct ShareRequest {
    ShareService service = ShareService::Facebook;
    QString photoPath;
    QString databasePath;  // empty: "upload.sqlite" in the documents folder
    bool quiet = false;

    // Facebook: token, message and the target label (empty: the own wall).
    services::FacebookUploadRequest facebook;

    // Flickr: token, title, description, tag label; privacy when given
    // (otherwise the stored choice, as the view restores it); set and group
    // names as the pickers show them, turned into ids by the run.
    services::FlickrUploadRequest flickr;
    bool flickrPrivacyGiven = false;
    std::vector<std::string> flickrSetNames;
    std::vector<std::string> flickrGroupNames;

    // Picasa: account, description and the album's title (empty: the
    // default album).
    services::PicasaUploadRequest picasa;

    // Twitter: account, caption and the image host when given (otherwise
    // the stored host, as the view restores it, or Twitpic).
    services::TwitterPostRequest twitter;
    bool twitterHostGiven = false;
};

struct ShareArguments {
    enum class Outcome { Run, Help, UsageError } outcome = Outcome::Run;
    ShareRequest request;
    QString error;  // one line, for UsageError; never holds a password or a token
};

// Arguments without the program name. The environment supplies the password
// (NIMBALIGHT_SHARE_PASSWORD) and the token (NIMBALIGHT_SHARE_TOKEN) when the
// options do not.
ShareArguments parseShareArguments(const QStringList& arguments,
                                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

QString shareUsage();

// The lowercase name on the command line ("facebook", ...) and the name in
// messages ("Facebook", ...).
QString shareServiceName(ShareService service);
QString shareServiceTitle(ShareService service);

// The alert's text on one line: "TITLE: MESSAGE", with the service's own
// words in parentheses when the outcome carries them. Control characters
// become blanks, runs of blanks one blank, and a long detail is cut.
QString shareAlertText(const services::ShareOutcome& outcome);

// Runs the upload. Exit status: 0 completed, 1 refused or failed (the
// alert's text, or a one-line reason, on stderr), 2 a caption too long for
// the tweet.
int runShare(const ShareRequest& request);
