// quorvane-start-floor: the least a client can do for the first screen. It sends the requests
// listed in a file, in order, with libcurl on one reused connection, and parses every JSON
// reply with nlohmann-json. The benchmark runner records what the app sent and times this
// program doing the same.
//
//   quorvane-start-floor REQUESTS.json
//
// The file is a JSON list of {"method", "url", "headers": [[name, value]...], "body"}.
// Exit status: 0 when every request got a reply, 1 otherwise, 2 for a bad file.

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

size_t collect(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s REQUESTS.json\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1]);
    nlohmann::json requests = nlohmann::json::parse(file, nullptr, false);
    if (!requests.is_array()) {
        std::fprintf(stderr, "start-floor: %s is no list of requests\n", argv[1]);
        return 2;
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    int failures = 0;
    size_t parsed = 0;
    for (const auto& request : requests) {
        std::string reply;
        std::string body = request.value("body", "");
        curl_slist* headers = nullptr;
        for (const auto& header : request.value("headers", nlohmann::json::array()))
            headers = curl_slist_append(headers, (header[0].get<std::string>() + ": " + header[1].get<std::string>()).c_str());
        curl_easy_reset(curl);
        curl_easy_setopt(curl, CURLOPT_URL, request.value("url", "").c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
        if (request.value("method", "GET") == "POST") {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        }
        CURLcode result = curl_easy_perform(curl);
        curl_slist_free_all(headers);
        if (result != CURLE_OK) {
            ++failures;
            continue;
        }
        char* type = nullptr;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
        if (type && std::string(type).find("json") != std::string::npos) {
            auto value = nlohmann::json::parse(reply, nullptr, false);
            if (!value.is_discarded())
                ++parsed;
        }
    }
    curl_easy_cleanup(curl);
    curl_global_cleanup();
    std::printf("%zu requests, %zu JSON replies, %d failed\n", requests.size(), parsed, failures);
    return failures ? 1 : 0;
}
