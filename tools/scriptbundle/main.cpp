// quorvane-scriptbundle: makes the signing key and the signed script archives of the LM Connect
// client.
//
//   quorvane-scriptbundle keygen KEY.pem CERTIFICATE.der
//   quorvane-scriptbundle pack KEY.pem SCRIPT_FOLDER VERSION FREQUENCY OUT.zip
//
// "pack" signs every ".js" file of the folder into an archive the client verifies with the
// certificate made by "keygen".

#include "tools/scriptbundle/ScriptBundleWriter.h"
#include "tools/scriptbundle/TestSigningKey.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    std::string error;
    if (command == "keygen" && argc == 4) {
        if (!scriptbundle::TestSigningKey::generate(argv[2], argv[3], &error)) {
            std::fprintf(stderr, "scriptbundle: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (command == "pack" && argc == 7) {
        auto scripts = scriptbundle::ScriptBundleWriter::scriptsInFolder(argv[3]);
        if (scripts.empty()) {
            std::fprintf(stderr, "scriptbundle: no scripts in %s\n", argv[3]);
            return 1;
        }
        auto entries = scriptbundle::ScriptBundleWriter::signedEntries(scripts, std::atoi(argv[4]), std::atoi(argv[5]), argv[2], &error);
        if (!entries || !scriptbundle::ScriptBundleWriter::writeZip(argv[6], *entries, &error)) {
            std::fprintf(stderr, "scriptbundle: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "usage: %s keygen KEY.pem CERTIFICATE.der\n       %s pack KEY.pem SCRIPT_FOLDER VERSION FREQUENCY OUT.zip\n", argv[0], argv[0]);
    return 2;
}
