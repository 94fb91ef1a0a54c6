// The category calls: read the tree, add, rename and move a category.

#include "api/transport.h"

namespace ApiCollection {

namespace {

const char kTreeTag[] = "get-cate-tree:";
const char kAddTag[] = "add-category:";
const char kRenameTag[] = "rename-category:";
const char kMoveTag[] = "move-category:";

} // namespace

Result<QByteArray> GetCateTreeRequest(const QUuid& uuid, quint64 cateId, const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    return ExecuteSignedRequest(uuid, kTreeTag, HttpMethod::Get, "/v3/category/get-cate-tree?", params, 60,
                                abortFlag);
}

Result<CateTreeResult> ParseGetCateTreeResponse(const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(kTreeTag, response);
    if (!envelope)
        return envelope.error();
    const QJsonValue data = envelope->root.value(QLatin1String("data"));
    if (!data.isObject())
        return DataShapeFailure(kTreeTag, envelope->fields, "data field is not object in request");
    auto result = RecordOf<CateTreeResult>(envelope.value());
    result.data = data.toObject();
    return result;
}

Result<QByteArray> AddCategoryRequest(const QUuid& uuid, quint64 parentId, const QString& name,
                                      const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("name"), name);
    params.insert(QStringLiteral("parentId"), QString::number(parentId));
    return ExecuteSignedRequest(uuid, kAddTag, HttpMethod::Post, "/v3/category/add", params, 15, abortFlag);
}

Result<AddCategoryResult> ParseAddCategoryResponse(const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(kAddTag, response);
    if (!envelope)
        return envelope.error();
    auto result = RecordOf<AddCategoryResult>(envelope.value());
    result.cateId = envelope->root.value(QLatin1String("data")).toVariant().toULongLong();
    return result;
}

Result<QByteArray> RenameCategoryRequest(const QUuid& uuid, quint64 cateId, const QString& cateName,
                                         const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    params.insert(QStringLiteral("cateName"), cateName);
    return ExecuteSignedRequest(uuid, kRenameTag, HttpMethod::Post, "/v3/category/update-info", params, 15,
                                abortFlag);
}

Result<ApiResult> ParseRenameCategoryResponse(const QByteArray& response)
{
    return EnvelopeOnly(kRenameTag, response);
}

Result<QByteArray> MoveCategoryRequest(const QUuid& uuid, quint64 cateId, quint64 destCateId,
                                       const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    params.insert(QStringLiteral("destCateId"), QString::number(destCateId));
    return ExecuteSignedRequest(uuid, kMoveTag, HttpMethod::Post, "/v3/category/update-cate", params, 15,
                                abortFlag);
}

Result<ApiResult> ParseMoveCategoryResponse(const QByteArray& response)
{
    return EnvelopeOnly(kMoveTag, response);
}

} // namespace ApiCollection
