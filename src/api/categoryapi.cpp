// The category calls: read the tree, add, rename and move a category.

#include "api/transport.h"

namespace ApiCollection {

namespace {

const char kTreeTag[] = "get-cate-tree:";
const char kAddTag[] = "add-category:";
const char kRenameTag[] = "rename-category:";
const char kMoveTag[] = "move-category:";

} // namespace

RequestError GetCateTreeRequest(const QUuid& uuid, quint64 cateId, QByteArray& response,
                                const AbortFlag* abortFlag, QString* errorText)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    return ExecuteSignedRequest(uuid, kTreeTag, HttpMethod::Get, "/v3/category/get-cate-tree?", params, 60,
                                response, abortFlag, errorText);
}

RequestError ParseGetCateTreeResponse(const QByteArray& response, CateTreeResult& result)
{
    QJsonObject root;
    const RequestError envelope = ParseEnvelope(kTreeTag, response, result, &root);
    if (envelope != NoError)
        return envelope;
    const QJsonValue data = root.value(QLatin1String("data"));
    if (!data.isObject()) {
        qCCritical(apiLog).noquote() << kTreeTag << "ApiError:"
                                     << "data field is not object in request" << ClipForLog(result.requestId);
        return ApiError;
    }
    result.data = data.toObject();
    return NoError;
}

RequestError AddCategoryRequest(const QUuid& uuid, quint64 parentId, const QString& name,
                                QByteArray& response, const AbortFlag* abortFlag, QString* errorText)
{
    ParamMap params;
    params.insert(QStringLiteral("name"), name);
    params.insert(QStringLiteral("parentId"), QString::number(parentId));
    return ExecuteSignedRequest(uuid, kAddTag, HttpMethod::Post, "/v3/category/add", params, 15, response,
                                abortFlag, errorText);
}

RequestError ParseAddCategoryResponse(const QByteArray& response, AddCategoryResult& result)
{
    QJsonObject root;
    const RequestError envelope = ParseEnvelope(kAddTag, response, result, &root);
    if (envelope != NoError)
        return envelope;
    result.cateId = root.value(QLatin1String("data")).toVariant().toULongLong();
    return NoError;
}

RequestError RenameCategoryRequest(const QUuid& uuid, quint64 cateId, const QString& cateName,
                                   QByteArray& response, const AbortFlag* abortFlag, QString* errorText)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    params.insert(QStringLiteral("cateName"), cateName);
    return ExecuteSignedRequest(uuid, kRenameTag, HttpMethod::Post, "/v3/category/update-info", params, 15,
                                response, abortFlag, errorText);
}

RequestError ParseRenameCategoryResponse(const QByteArray& response, ApiResult& result)
{
    QJsonObject root;
    return ParseEnvelope(kRenameTag, response, result, &root);
}

RequestError MoveCategoryRequest(const QUuid& uuid, quint64 cateId, quint64 destCateId, QByteArray& response,
                                 const AbortFlag* abortFlag, QString* errorText)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    params.insert(QStringLiteral("destCateId"), QString::number(destCateId));
    return ExecuteSignedRequest(uuid, kMoveTag, HttpMethod::Post, "/v3/category/update-cate", params, 15,
                                response, abortFlag, errorText);
}

RequestError ParseMoveCategoryResponse(const QByteArray& response, ApiResult& result)
{
    QJsonObject root;
    return ParseEnvelope(kMoveTag, response, result, &root);
}

} // namespace ApiCollection
