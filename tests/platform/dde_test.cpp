#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>
#include <thread>

#include "dde.h"
#include "local_sockets.h"
#include "temp_root.h"

using namespace platform;

namespace {

// A client instance with the handles one conversation needs; everything goes with the instance.
class Client {
public:
    Client() { EXPECT_EQ(DdeInitialize(&id, nullptr, APPCMD_CLIENTONLY, 0), DMLERR_NO_ERROR); }
    ~Client() { DdeUninitialize(id); }

    HCONV connect(const char* service, const char* topic) {
        return DdeConnect(id, DdeCreateStringHandle(id, service, CP_WINANSI), DdeCreateStringHandle(id, topic, CP_WINANSI),
                          nullptr);
    }

    // The item's text, or nothing when no data came back.
    std::optional<std::string> request(HCONV conversation, const char* item, DWORD timeoutMs = 500) {
        HSZ itemHandle = DdeCreateStringHandle(id, item, CP_WINANSI);
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, itemHandle, CF_TEXT, XTYP_REQUEST, timeoutMs,
                                             nullptr);
        DdeFreeStringHandle(id, itemHandle);
        if (!data) return std::nullopt;
        DWORD size = 0;
        std::string text(reinterpret_cast<const char*>(DdeAccessData(data, &size)));
        EXPECT_EQ(size, text.size() + 1);  // the text arrives with its terminating zero
        DdeUnaccessData(data);
        DdeFreeDataHandle(data);
        return text;
    }

    DWORD id = 0;
};

DdeServer::Answer Numbered(int count) {
    return [count](const std::string&, const std::string& item) -> std::optional<std::string> {
        const int number = std::atoi(item.c_str());
        if (number < 1 || number > count) return std::nullopt;
        return "file" + item + "|x|" + std::to_string(number * 10) + "%|";
    };
}

}  // namespace

TEST(DdeTest, AServedTopicAnswersItsItemsAndNothingForOthers) {
    testing_support::TempRoot root;
    DdeServer server("GetRight", {"DownloadInfo"}, Numbered(2));
    ASSERT_TRUE(server.listening());
    Client client;

    HCONV conversation = client.connect("getright", "downloadinfo");  // names compare without case
    ASSERT_NE(conversation, nullptr);
    EXPECT_EQ(client.request(conversation, "1"), "file1|x|10%|");
    EXPECT_EQ(client.request(conversation, "2"), "file2|x|20%|");
    EXPECT_EQ(client.request(conversation, "3"), std::nullopt);
    EXPECT_TRUE(DdeDisconnect(conversation));

    EXPECT_EQ(client.connect("GetRight", "OtherTopic"), nullptr);
    EXPECT_EQ(client.connect("iexplore", "WWW_OpenURL"), nullptr);
}

TEST(DdeTest, NoServerMeansNoConversation) {
    testing_support::TempRoot root;
    Client client;
    EXPECT_EQ(client.connect("GetRight", "DownloadInfo"), nullptr);
    {
        DdeServer gone("GetRight", {"DownloadInfo"}, Numbered(1));
    }
    EXPECT_EQ(client.connect("GetRight", "DownloadInfo"), nullptr);
}

TEST(DdeTest, ASlowAnswerTimesOutAndEndsTheConversation) {
    testing_support::TempRoot root;
    DdeServer server("Slow", {"T"}, [](const std::string&, const std::string& item) -> std::optional<std::string> {
        if (item == "slow") std::this_thread::sleep_for(std::chrono::milliseconds(600));
        return item;
    });
    Client client;
    HCONV conversation = client.connect("Slow", "T");
    ASSERT_NE(conversation, nullptr);
    EXPECT_EQ(client.request(conversation, "quick"), "quick");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.request(conversation, "slow", 100), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    // The late answer must not be taken for the next item's.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(client.request(conversation, "quick"), std::nullopt);
    EXPECT_NE(client.connect("Slow", "T"), nullptr);  // a new conversation works again
}

TEST(DdeTest, HandlesBelongToTheirInstanceAndDieWithIt) {
    testing_support::TempRoot root;
    DdeServer server("Svc", {"T"}, Numbered(1));
    Client first, second;
    HSZ foreign = DdeCreateStringHandle(first.id, "Svc", CP_WINANSI);
    HSZ topic = DdeCreateStringHandle(second.id, "T", CP_WINANSI);
    EXPECT_EQ(DdeConnect(second.id, foreign, topic, nullptr), nullptr);
    EXPECT_FALSE(DdeFreeStringHandle(second.id, foreign));

    HCONV conversation = first.connect("Svc", "T");
    ASSERT_NE(conversation, nullptr);
    EXPECT_TRUE(DdeUninitialize(first.id));
    EXPECT_FALSE(DdeDisconnect(conversation));
    EXPECT_FALSE(DdeFreeStringHandle(first.id, foreign));
    first.id = 0;

    DWORD serverStyle = 0;
    EXPECT_NE(DdeInitialize(&serverStyle, nullptr, 0, 0), DMLERR_NO_ERROR);  // only clients register here
}

TEST(DdeTest, AClientThatNeverReadsItsAnswersCannotStopTheServer) {
    testing_support::TempRoot root;
    const std::string big(200000, 'x');
    DdeServer server("GetRight", {"DownloadInfo"},
                     [&](const std::string&, const std::string&) -> std::optional<std::string> { return big; });
    ASSERT_TRUE(server.listening());
    // A hostile client: connects, asks again and again, reads nothing.
    std::string socketPath;
    for (const auto& entry : std::filesystem::directory_iterator(*RuntimeFolder()))
        if (entry.path().filename().string().rfind("dde-getright-", 0) == 0) socketPath = entry.path().string();
    ASSERT_FALSE(socketPath.empty());
    const int hostile = ConnectTo(socketPath);
    ASSERT_GE(hostile, 0);
    const std::unique_ptr<const int, void (*)(const int*)> closer(&hostile, [](const int* fd) { ::close(*fd); });
    const std::string topic = "DownloadInfo";
    const std::uint32_t topicSize = std::uint32_t(topic.size()), format = CF_TEXT, itemSize = 1;
    ASSERT_TRUE(WriteExactly(hostile, "C", 1) && WriteExactly(hostile, &topicSize, 4) &&
                WriteExactly(hostile, topic.data(), topic.size()));
    for (int i = 0; i < 50; ++i)
        WriteExactly(hostile, "R", 1) && WriteExactly(hostile, &format, 4) && WriteExactly(hostile, &itemSize, 4) &&
            WriteExactly(hostile, "1", 1);
    // Another client is answered again once the server has given up on the first (a connection
    // tried meanwhile may be refused, as a busy server's is).
    Client client;
    HCONV conversation = nullptr;
    for (int attempt = 0; attempt < 5 && !conversation; ++attempt) conversation = client.connect("GetRight", "DownloadInfo");
    ASSERT_NE(conversation, nullptr);
    EXPECT_EQ(client.request(conversation, "1", 8000), big);
}
