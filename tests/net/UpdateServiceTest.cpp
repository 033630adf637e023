#include <QJsonArray>
#include <QJsonDocument>

#include "NetTestSupport.h"
#include "ServiceConnection.h"

namespace vexhal::test {
namespace {

using sim::ServiceConnection;
using sim::ServiceRequest;
using sim::UpdateService;

bool writeText(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST_F(NetTest, TableFromAFileAnswersAndServes) {
  const QByteArray package(70000, '\x5a');
  ASSERT_TRUE(writeText(scratchPath("fw.img"), package));
  const QString url = service_.url("/packages/fw.img", true);
  const QJsonObject table{
      {"answers",
       QJsonArray{QJsonObject{{"product", "VX-1"}, {"version", "1.0"},
                              {"answer", UpdateService::offer("1.1", url, "n", package, true)}},
                  QJsonObject{{"product", "VX-1"}, {"version", "*"},
                              {"answer", UpdateService::upToDate()}}}},
      {"packages", QJsonArray{QJsonObject{{"path", "/packages/fw.img"}, {"file", "fw.img"}}}}};
  QString error;
  ASSERT_TRUE(service_.loadTable(table, QDir(scratch_.path()), &error)) << error.toStdString();
  useService(manager_, true);

  const CheckOutcome offered = check(manager_, "VX-1", "1.0");
  const CheckOutcome current = check(manager_, "VX-1", "1.1");
  const CheckOutcome unknown = check(manager_, "VX-9", "1.0");

  ASSERT_TRUE(offered.data.has_value());
  EXPECT_TRUE(offered.data->needUpgrade);
  EXPECT_TRUE(offered.data->forceStatus);
  EXPECT_EQ(offered.data->packageSize, "0.1 MB");
  ASSERT_TRUE(current.data.has_value());
  EXPECT_FALSE(current.data->needUpgrade);
  EXPECT_EQ(unknown.response.code, 1);
  EXPECT_FALSE(unknown.data.has_value());

  const QString save = scratchPath("saved.img");
  EXPECT_EQ(download(manager_, offered.data->downLoadUrl, save).response.code, 0);
  EXPECT_EQ(readFile(save), package);
}

TEST_F(NetTest, BrokenTablesAreRefusedWithAReason) {
  const QJsonObject answer = UpdateService::upToDate();
  const std::vector<QJsonObject> tables{
      {{"answers", QJsonArray{QJsonObject{{"version", "1"}, {"answer", answer}}}}},
      {{"answers", QJsonArray{QJsonObject{{"product", "A"}, {"version", "1"}, {"answer", 3}}}}},
      {{"answers", QJsonArray{QStringLiteral("row")}}},
      {{"packages", QJsonArray{QJsonObject{{"path", "/p.bin"}, {"file", "missing.bin"}}}}},
      {{"packages", QJsonArray{QJsonObject{{"path", "p.bin"}, {"file", "missing.bin"}}}}},
  };
  for (const QJsonObject& table : tables) {
    QString error;
    EXPECT_FALSE(service_.loadTable(table, QDir(scratch_.path()), &error))
        << QJsonDocument(table).toJson().toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(ServiceRequestTest, RequestHeadIsDecodedAsAForm) {
  ServiceRequest request;
  ASSERT_TRUE(ServiceConnection::parseHead(
      "GET /a%20b?x=1+2&y=%2B%26&z&=v HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip",
      request));
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.path, "/a b");
  EXPECT_EQ(request.queryValue("x"), "1 2");
  EXPECT_EQ(request.queryValue("y"), "+&");
  EXPECT_EQ(request.queryValue("z"), "");
  EXPECT_EQ(request.query.size(), 4);
  EXPECT_EQ(request.header("accept-encoding"), "gzip");
  EXPECT_EQ(request.header("host"), "127.0.0.1");

  for (const char* head : {"", "GET /x", "GET x HTTP/1.1", "GET /x FTP/1.0", "GET  /x HTTP/1.1"}) {
    EXPECT_FALSE(ServiceConnection::parseHead(head, request)) << head;
  }
}

}  // namespace
}  // namespace vexhal::test
