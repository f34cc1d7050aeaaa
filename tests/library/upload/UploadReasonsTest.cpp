// What the user reads of a failure: the failures met most often in the program's own words,
// saying what to change, and the password hidden in what came from outside only, never in the
// program's own sentences, where hiding a word would give the password away.
#include "core/Localisation.h"
#include "library/upload/ServerAnswer.h"
#include "library/upload/UploadPlan.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>

using namespace kx;
using namespace kx::upload;

namespace {

const QString kUnreachable =
    "The server could not be reached: check the address and port in Settings → Upload, and that the server "
    "is running.";
const QString kLoginRefused =
    "The server refused the login: check the user name and password (or key) in Settings → Upload.";
const QString kNotFound = "The server's name could not be found: check the address in Settings → Upload.";
const QString kLate = "The server did not answer in time.";

}  // namespace

TEST(UploadReasons, WhatTheProgramsPrintedInWordsAUserCanActOn)
{
    Lang::overrideForTests("en");
    const struct {
        const char* err;
        int exit;
        QString reason;
    } cases[] = {
        {"curl: (6) Could not resolve host: dav.example.test\n", 6, kNotFound},
        {"curl: (7) Failed to connect to 127.0.0.1 port 9 after 0 ms: Couldn't connect to server\n", 7,
         kUnreachable},
        {"curl: (28) Connection timed out after 15001 milliseconds\n", 28, kLate},
        {"curl: (35) error:0A00010B:SSL routines::wrong version number\n", 35,
         "No secure connection could be made with the server: check the address and port in Settings → "
         "Upload."},
        {"curl: (60) SSL certificate problem: self-signed certificate\nMore details here: "
         "https://curl.se/docs/sslcerts.html\n",
         60, "The server's certificate could not be verified (it may be self-signed or expired)."},
        {"curl: (52) Empty reply from server\n", 52, "The server closed the connection without an answer."},
        {"curl: (67) Access denied: 530\n", 67, kLoginRefused},
        {"curl: (9) Server denied you to change to the given directory\n", 9,
         "The server did not let the login open or make the folder: check the folder in Settings → Upload."},
        {"ssh: Could not resolve hostname nas.local: Name or service not known\nConnection closed\n", 255,
         kNotFound},
        {"ssh: connect to host 127.0.0.1 port 2222: Connection refused\nConnection closed\n", 255,
         kUnreachable},
        {"ssh: connect to host 10.0.0.9 port 22: Connection timed out\nConnection closed\n", 255, kLate},
        {"Warning: Permanently added '[127.0.0.1]:2222' (ED25519) to the list of known hosts.\r\n"
         "alice@127.0.0.1: Permission denied (publickey,password).\nConnection closed\n",
         255, kLoginRefused},
        {"@ WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! @\nHost key verification failed.\n"
         "Connection closed\n",
         255,
         "The server's key differs from the one known for it: if it was changed on purpose, remove the old "
         "key from ~/.ssh/known_hosts."},
        // Anything else as it stands: a file the server refused is no refused login.
        {"curl: (47) Maximum (50) redirects followed\n", 47, "curl: (47) Maximum (50) redirects followed"},
        {"remote open(\"/x\"): Permission denied\n", 1, "remote open(\"/x\"): Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        EXPECT_EQ(failureMessage(c.err, c.exit, "en").toStdString(), c.reason.toStdString());
    }
    Lang::overrideForTests("de");
    EXPECT_EQ(
        failureMessage(cases[1].err, 7, "de"),
        "Der Server ist nicht erreichbar: prüfe Adresse und Port unter Einstellungen → Hochladen und ob "
        "der Server läuft.");
    Lang::overrideForTests("hu");
    EXPECT_EQ(failureMessage(cases[6].err, 67, "hu"),
              "A szerver elutasította a bejelentkezést: ellenőrizd a felhasználónevet és a jelszót (vagy a "
              "kulcsot) a Beállítások → Feltöltés fülön.");
    EXPECT_EQ(
        judgeCurlUpload({"404 ", "", 0}, true).message(),
        "A mappa nem létezik a szerveren: hozd létre ott, vagy válassz másikat a Beállítások → Feltöltés "
        "fülön.");
}

// "server" and "http" are words of the reasons and of every address: each reason keeps them, and
// only what a server or a program said hides the password.
TEST(UploadReasons, APasswordThatIsAWordOfTheReasonsHidesNoneOfThem)
{
    Lang::overrideForTests("en");
    const QString missing =
        "The folder does not exist on the server: create it there or choose another in Settings → Upload.";
    for (const QString pw : {"server", "http"}) {
        SCOPED_TRACE(pw.toStdString());
        EXPECT_EQ(failureMessage("curl: (7) Failed to connect to server port 9: Couldn't connect to server\n",
                                 7, "en", pw),
                  kUnreachable);
        EXPECT_EQ(judgeCurlUpload({"500 ", "", 0}, true, pw).message(),
                  "The server did not store the file (HTTP 500).");
        EXPECT_EQ(judgeCurlUpload({"404 ", "", 0}, true, pw).message(), missing);
        EXPECT_EQ(judgeCurlTest({"404 ", "", 0}, true, pw).message(),
                  "The folder does not exist on the server.");
        EXPECT_EQ(judgeCurlCheck({"401 ", "", 0}, true, pw).message(),
                  "The server refused the user name or password (HTTP 401).");
        EXPECT_EQ(judgeSftpUpload({"", ""}, ".t", "x", 9, nullptr, pw).message(),
                  "The file did not arrive on the server.");
        EXPECT_EQ(judgeCurlUpload({"452", "", 25}, false, pw).message(), "The server's disk is full.");
        // Where a server echoes it: in the path of the address it points to (whose scheme stays),
        // in sftp's word on a refused write, in a line a program printed.
        EXPECT_EQ(judgeCurlUpload({"301 http://alice:" + pw + "@h/" + pw + "/x.png?p=" + pw, "", 0}, true, pw)
                      .message(),
                  "The server moved to http://h/•••/x.png: change the address in Settings → Upload.");
        EXPECT_EQ(judgeSftpUpload({"", "dest open \"/r/.t\": " + pw + " said no\n", 1}, "/r/.t", "/r/x", 9,
                                  nullptr, pw)
                      .message(),
                  "The server did not write the file: ••• said no.");
        EXPECT_EQ(failureMessage("debug1: sent " + pw + " to http://h/\n", 1, "en", pw),
                  "debug1: sent ••• to http://h/");
    }
}

// As typed, or percent-encoded in any mix and either case of hexadecimal, with a blank as "+":
// wherever it stands in what came from outside. Case counts: another word is not the password.
TEST(UploadReasons, ThePasswordIsHiddenHoweverItIsWritten)
{
    const QString pw = "s3cr/t pässé";
    const struct {
        QString in, out;
    } cases[] = {
        {"login with s3cr/t pässé refused", "login with ••• refused"},
        {"GET /a?x=s3cr%2Ft%20p%C3%A4ss%C3%A9 400", "GET /a?x=••• 400"},
        {"echo s3cr%2ft+p%c3%a4ss%C3%a9.", "echo •••."},
        {"%73%33cr/t pässé", "•••"},
        {"https://h/s3cr%2Ft%20p%C3%A4ss%C3%A9/x", "https://h/•••/x"},
        {"S3CR/T PÄSSÉ is another", "S3CR/T PÄSSÉ is another"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textWithoutSecrets(c.in, pw).toStdString(), c.out.toStdString());
    // One too short to tell from parts of words hides nothing; an address still loses its login.
    EXPECT_EQ(textWithoutSecrets("pwd at http://u:pwd@h/pwd", "pwd"), "pwd at http://h/pwd");
}

// sftp's fixed words on a refused write are as well known as the program's own: they are told in
// its words, and a password that is one of them is not pointed at. Neither is one that is a word
// of the name the program gave the file; an echo of the password elsewhere is still hidden.
TEST(UploadReasons, APasswordThatIsAFixedWordOrTheFilesOwnNameIsNotPointedAt)
{
    const struct {
        const char* lang;
        QString refused, missing;
    } langs[] = {
        {"en", "The server did not write the file: Permission denied.",
         "The server did not write the file: No such file or directory."},
        {"de", "Der Server hat die Datei nicht geschrieben: Zugriff verweigert.",
         "Der Server hat die Datei nicht geschrieben: Datei oder Ordner nicht gefunden."},
        {"hu", "A szerver nem írta ki a fájlt: Hozzáférés megtagadva.",
         "A szerver nem írta ki a fájlt: Nincs ilyen fájl vagy mappa."},
    };
    const auto put = [](const QString& said, const QString& pw) {
        return judgeSftpUpload({"", "dest open \"/r/.kx-1.png\": " + said + "\n", 1}, "/r/.kx-1.png",
                               "/r/Kaptorix 2026.png", 9, nullptr, pw)
            .message();
    };
    for (const auto& l : langs) {
        SCOPED_TRACE(l.lang);
        Lang::overrideForTests(l.lang);
        for (const QString pw : {"", "Permission", "denied", "file", "directory", "Permission denied"}) {
            SCOPED_TRACE(pw.toStdString());
            EXPECT_EQ(put("Permission denied", pw), l.refused);
            EXPECT_EQ(put("No such file or directory", pw), l.missing);
        }
    }
    Lang::overrideForTests("en");
    // A password reaching beyond the fixed words is hidden whole, and so is one inside a longer word.
    EXPECT_EQ(put("Permission denied by filter", "denied by"),
              "The server did not write the file: Permission ••• filter.");
    EXPECT_EQ(put("Failures seen", "Failure"), "The server did not write the file: •••s seen.");
    const QString moved = "301 http://h/moved/shots/Kaptorix%202026.png";
    EXPECT_EQ(
        judgeCurlUpload({moved, "", 0}, true, "Kaptorix", {"Kaptorix 2026.png"}).message(),
        "The server moved to http://h/moved/shots/Kaptorix%202026.png: change the address in Settings → "
        "Upload.");
    EXPECT_EQ(judgeCurlCheck({"301 http://h/Kaptorix/Kaptorix+2026.png", "", 0}, true, "Kaptorix",
                             {"Kaptorix 2026.png"})
                  .message(),
              "The server moved to http://h/•••/Kaptorix+2026.png: change the address in Settings → Upload.");
}

// Every reason in the program's words is read whole in the failure's toast, in every language.
TEST(UploadReasons, EachFitsTheToastInEveryLanguage)
{
    const QStringList lines{
        "curl: (6) x",  "curl: (7) x",  "curl: (9) x",  "curl: (28) x", "curl: (35) x",
        "curl: (60) x", "curl: (52) x", "curl: (56) x", "curl: (67) x", "Host key verification failed."};
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(lang);
        QStringList reasons;
        for (const QString& line : lines)
            reasons << failureMessage(line, 1, lang);
        for (const char* status : {"403 ", "404 ", "413 ", "500 ", "507 "})
            reasons << judgeCurlUpload({status, "", 0}, true).message();
        reasons << judgeCurlUpload({"553", "curl: (25) x", 25}, false).message()
                << judgeCurlUpload({"426", "", 18}, false).message()
                << judgeCurlUpload({"301 https://dav.example.com/dav/", "", 0}, true).message();
        for (const QString& reason : reasons)
            EXPECT_TRUE(ToastView::showsWhole(queuedFailureText(), reason)) << reason.toStdString();
    }
}
