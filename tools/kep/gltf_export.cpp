#include "gltf_export.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "map/kep_model.h"
#include "progress.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "tinygltf_here.h"

#include "stb_image_write_here.h"

namespace kep {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

// Host space to glTF space: Z mirrored (see gltf_export.h).
std::vector<double> Translation(double x, double y, double z) {
    return {x, y, -z};
}

// The host turns about X, then Y, then Z (R = Rz * Ry * Rx); mirroring Z
// turns the X and Y parts of that rotation the other way.
std::vector<double> Rotation(const simhost::Float3& degrees) {
    auto half = [](float angle, double* s, double* c) {
        const double radians = angle * kPi / 360.0;
        *s = std::sin(radians);
        *c = std::cos(radians);
    };
    double sx, cx, sy, cy, sz, cz;
    half(degrees.x, &sx, &cx);
    half(degrees.y, &sy, &cy);
    half(degrees.z, &sz, &cz);
    // q = qz * qy * qx
    const double x = cz * cy * sx - sz * sy * cx;
    const double y = cz * sy * cx + sz * cy * sx;
    const double z = sz * cy * cx - cz * sy * sx;
    const double w = cz * cy * cx + sz * sy * sx;
    return {-x, -y, z, w};
}

bool IsIdentity(const std::vector<double>& rotation) {
    return rotation[0] == 0 && rotation[1] == 0 && rotation[2] == 0;
}

class SceneWriter {
  public:
    SceneWriter(const KEP_Map& map, bool binary, std::string imageStem)
        : m_map(map), m_binary(binary), m_imageStem(std::move(imageStem)) {
        m_model.asset.version = "2.0";
        m_model.asset.generator = "kep export";
        m_model.buffers.emplace_back();
        m_model.scenes.emplace_back();
        m_model.defaultScene = 0;
        tinygltf::Sampler sampler; // repeat in both directions, as the host samples
        sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
        sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
        m_model.samplers.push_back(sampler);
    }

    bool AddObjects(std::string* error);
    void AddEntities();
    // PNG files to write beside a .gltf: file name and bytes.
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& LooseImages() const {
        return m_looseImages;
    }
    tinygltf::Model& Model() { return m_model; }

  private:
    int AddNode(tinygltf::Node node, int parent) {
        const int index = static_cast<int>(m_model.nodes.size());
        m_model.nodes.push_back(std::move(node));
        if (parent < 0)
            m_model.scenes[0].nodes.push_back(index);
        else
            m_model.nodes[parent].children.push_back(index);
        return index;
    }
    int AddBufferView(const void* data, std::size_t size, int target);
    int AddAccessor(const std::vector<float>& values, int components, bool withBounds);
    int AddMesh(const std::vector<simhost::MeshVertex>& vertices, const simhost::LimbState& limb);
    int Material(int stage0Image, int stage1Image);
    int Texture(int image);
    std::string ImageName(int image) const;

    const KEP_Map& m_map;
    bool m_binary;
    std::string m_imageStem;
    tinygltf::Model m_model;
    std::map<std::pair<int, int>, int> m_materials;
    std::map<int, int> m_textures; // host image number -> texture index, -1 if unreadable
    std::vector<std::pair<std::string, std::vector<uint8_t>>> m_looseImages;
};

int SceneWriter::AddBufferView(const void* data, std::size_t size, int target) {
    std::vector<unsigned char>& bytes = m_model.buffers[0].data;
    while (bytes.size() % 4)
        bytes.push_back(0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = bytes.size();
    view.byteLength = size;
    view.target = target;
    const auto* first = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), first, first + size);
    m_model.bufferViews.push_back(view);
    return static_cast<int>(m_model.bufferViews.size()) - 1;
}

int SceneWriter::AddAccessor(const std::vector<float>& values, int components, bool withBounds) {
    tinygltf::Accessor accessor;
    accessor.bufferView =
        AddBufferView(values.data(), values.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    accessor.count = values.size() / components;
    accessor.type = components == 3 ? TINYGLTF_TYPE_VEC3 : TINYGLTF_TYPE_VEC2;
    if (withBounds) {
        accessor.minValues.assign(components, 1e300);
        accessor.maxValues.assign(components, -1e300);
        for (std::size_t i = 0; i < values.size(); ++i) {
            double& low = accessor.minValues[i % components];
            double& high = accessor.maxValues[i % components];
            low = std::min<double>(low, values[i]);
            high = std::max<double>(high, values[i]);
        }
    }
    m_model.accessors.push_back(accessor);
    return static_cast<int>(m_model.accessors.size()) - 1;
}

std::string SceneWriter::ImageName(int image) const {
    for (int32_t t = 0; t < m_map.textures.Count(); ++t) {
        const KEP_TextureInfo* texture = m_map.textures.At(t);
        if (texture->build.image == image) return texture->name.CStr();
    }
    for (int32_t l = 0; l < m_map.lightmaps.Count(); ++l)
        if (m_map.lightmaps.At(l)->build.image == image) return "lightmap " + std::to_string(l);
    return "image " + std::to_string(image);
}

int SceneWriter::Texture(int image) {
    const auto known = m_textures.find(image);
    if (known != m_textures.end()) return known->second;
    int& texture = m_textures[image];
    texture = -1;
    simhost::ImageContent content;
    if (image <= 0 || !simhost::ReadImage(image, &content) || content.width == 0 ||
        content.height == 0)
        return texture;
    std::vector<uint8_t> rgba(static_cast<std::size_t>(content.width) * content.height * 4);
    for (std::size_t i = 0; i < content.pixels.size() && i * 4 < rgba.size(); ++i) {
        const uint32_t pixel = content.pixels[i];
        rgba[i * 4 + 0] = static_cast<uint8_t>(pixel >> 16);
        rgba[i * 4 + 1] = static_cast<uint8_t>(pixel >> 8);
        rgba[i * 4 + 2] = static_cast<uint8_t>(pixel);
        rgba[i * 4 + 3] = static_cast<uint8_t>(pixel >> 24);
    }
    std::vector<uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        const auto* first = static_cast<const uint8_t*>(data);
        out->insert(out->end(), first, first + size);
    };
    if (!stbi_write_png_to_func(append, &png, static_cast<int>(content.width),
                                static_cast<int>(content.height), 4, rgba.data(),
                                static_cast<int>(content.width) * 4))
        return texture;

    tinygltf::Image gltfImage;
    gltfImage.name = ImageName(image);
    if (m_binary) {
        gltfImage.mimeType = "image/png";
        gltfImage.bufferView = AddBufferView(png.data(), png.size(), 0);
    } else {
        gltfImage.uri = m_imageStem + "_image" + std::to_string(image) + ".png";
        m_looseImages.emplace_back(gltfImage.uri, std::move(png));
    }
    m_model.images.push_back(gltfImage);
    tinygltf::Texture gltfTexture;
    gltfTexture.source = static_cast<int>(m_model.images.size()) - 1;
    gltfTexture.sampler = 0;
    m_model.textures.push_back(gltfTexture);
    texture = static_cast<int>(m_model.textures.size()) - 1;
    return texture;
}

int SceneWriter::Material(int stage0Image, int stage1Image) {
    const auto key = std::make_pair(stage0Image, stage1Image);
    const auto known = m_materials.find(key);
    if (known != m_materials.end()) return known->second;
    tinygltf::Material material;
    material.name = ImageName(stage0Image);
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 1.0;
    material.pbrMetallicRoughness.baseColorTexture.index = Texture(stage0Image);
    const int lightmap = stage1Image > 0 ? Texture(stage1Image) : -1;
    if (lightmap >= 0) {
        material.occlusionTexture.index = lightmap;
        material.occlusionTexture.texCoord = 1;
        material.extras = tinygltf::Value(tinygltf::Value::Object{
            {"lightmap", tinygltf::Value(std::string("occlusionTexture on TEXCOORD_1; the host "
                                                     "modulates the texture by it times two"))}});
    }
    m_model.materials.push_back(material);
    const int index = static_cast<int>(m_model.materials.size()) - 1;
    m_materials.emplace(key, index);
    return index;
}

int SceneWriter::AddMesh(const std::vector<simhost::MeshVertex>& vertices,
                         const simhost::LimbState& limb) {
    const std::size_t count = vertices.size() - vertices.size() % 3;
    std::vector<float> positions, normals, uv, uv2;
    bool unitNormals = true;
    for (std::size_t i = 0; i < count; ++i) {
        const simhost::MeshVertex& v = vertices[i];
        positions.insert(positions.end(), {v.position[0], v.position[1], -v.position[2]});
        const double length = std::sqrt(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] +
                                        v.normal[2] * v.normal[2]);
        if (std::fabs(length - 1.0) > 0.0005) unitNormals = false;
        normals.insert(normals.end(), {v.normal[0], v.normal[1], -v.normal[2]});
        uv.insert(uv.end(), {v.uv[0], v.uv[1]});
        uv2.insert(uv2.end(), {v.uv2[0], v.uv2[1]});
    }
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] = AddAccessor(positions, 3, true);
    if (unitNormals) primitive.attributes["NORMAL"] = AddAccessor(normals, 3, false);
    primitive.attributes["TEXCOORD_0"] = AddAccessor(uv, 2, false);
    if (limb.stage1Image > 0) primitive.attributes["TEXCOORD_1"] = AddAccessor(uv2, 2, false);
    primitive.material = Material(limb.stage0Image, limb.stage1Image);
    tinygltf::Mesh mesh;
    mesh.primitives.push_back(primitive);
    m_model.meshes.push_back(mesh);
    return static_cast<int>(m_model.meshes.size()) - 1;
}

bool SceneWriter::AddObjects(std::string* error) {
    const std::vector<int> numbers = simhost::ObjectNumbers();
    Progress progress("exporting host objects", numbers.size());
    std::size_t done = 0;
    for (int number : numbers) {
        progress.Update(done++);
        simhost::ObjectState object;
        if (!simhost::FindObject(number, &object)) continue;
        tinygltf::Node node;
        node.name = "object " + std::to_string(number);
        node.translation = Translation(object.position.x, object.position.y, object.position.z);
        const std::vector<double> rotation = Rotation(object.angles);
        if (!IsIdentity(rotation)) node.rotation = rotation;
        node.extras = tinygltf::Value(tinygltf::Value::Object{
            {"object", tinygltf::Value(number)}, {"visible", tinygltf::Value(object.visible)}});
        const int objectNode = AddNode(node, -1);

        // Limbs come in ascending numbers and a limb is linked under one made
        // before it, so each parent's node exists when its child is added.
        std::map<int, int> limbNodes;
        for (const simhost::LimbState& limb : object.limbs) {
            tinygltf::Node limbNode;
            limbNode.name = node.name + " limb " + std::to_string(limb.number);
            limbNode.translation = Translation(limb.offset.x, limb.offset.y, limb.offset.z);
            const std::vector<double> limbRotation = Rotation(limb.angles);
            if (!IsIdentity(limbRotation)) limbNode.rotation = limbRotation;
            limbNode.extras = tinygltf::Value(
                tinygltf::Value::Object{{"limb", tinygltf::Value(limb.number)},
                                        {"visible", tinygltf::Value(limb.visible)}});
            std::vector<simhost::MeshVertex> vertices;
            if (!simhost::LimbVertices(number, limb.number, &vertices)) {
                *error = "the host lost limb " + std::to_string(limb.number) + " of object " +
                         std::to_string(number);
                return false;
            }
            if (vertices.size() >= 3) limbNode.mesh = AddMesh(vertices, limb);
            const auto parent = limbNodes.find(limb.parent);
            limbNodes[limb.number] =
                AddNode(limbNode, parent == limbNodes.end() ? objectNode : parent->second);
        }
    }
    return true;
}

void SceneWriter::AddEntities() {
    for (int32_t e = 0; e < m_map.entities.Count(); ++e) {
        const KEP_Entity* entity = m_map.entities.At(e);
        tinygltf::Value::Object properties;
        std::string classname;
        for (int32_t i = 0; i < entity->properties.Count(); ++i) {
            const char* key = entity->properties.Key(i);
            const std::string text = entity->properties.Value(i);
            properties[key] = tinygltf::Value(text);
            if (KEP_UpperCase(key) == "CLASSNAME") classname = text;
        }
        int32_t pivot = -1;
        for (int32_t p = 0; p < m_map.pivots.Count(); ++p)
            if (m_map.pivots.At(p) == entity) pivot = p;
        tinygltf::Node node;
        node.name = (classname.empty() ? "entity" : classname) + " " + std::to_string(e);
        node.translation =
            Translation(entity->position[0], entity->position[1], entity->position[2]);
        node.extras =
            tinygltf::Value(tinygltf::Value::Object{{"entity", tinygltf::Value(e)},
                                                    {"classname", tinygltf::Value(classname)},
                                                    {"pivot", tinygltf::Value(pivot)},
                                                    {"properties", tinygltf::Value(properties)}});
        AddNode(node, -1);
    }
}

// Writes the bytes as the whole file; false, with the reason, on any failure.
bool WriteWholeFile(const fs::path& file, const std::vector<unsigned char>& bytes,
                    std::string* error) {
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = out && std::fclose(out) == 0;
    if (!written || !closed) {
        *error = "cannot write " + file.string();
        return false;
    }
    return true;
}

} // namespace

bool ExportGltf(const KEP_Map& map, const std::string& path, ExportCounts* counts,
                std::string* error) {
    const fs::path target(path);
    std::string extension = target.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".gltf" && extension != ".glb") {
        *error = "the output name must end in .gltf or .glb: " + path;
        return false;
    }
    const bool binary = extension == ".glb";
    SceneWriter writer(map, binary, target.stem().string());
    if (!writer.AddObjects(error)) return false;
    writer.AddEntities();

    tinygltf::Model& model = writer.Model();
    if (model.buffers[0].data.empty()) {
        model.buffers.clear();
    } else {
        while (model.buffers[0].data.size() % 4)
            model.buffers[0].data.push_back(0);
        if (!binary) model.buffers[0].uri = target.stem().string() + ".bin";
    }
    for (const auto& [name, bytes] : writer.LooseImages())
        if (!WriteWholeFile(target.parent_path() / name, bytes, error)) return false;
    // On Windows the glTF library opens the files it writes without giving a
    // mode, so a file it creates may come out read-only, and the next export
    // over it fails: they are made here first, and it only opens them.
    if (!WriteWholeFile(target, {}, error)) return false;
    if (!binary && !model.buffers.empty() &&
        !WriteWholeFile(target.parent_path() / model.buffers[0].uri, {}, error))
        return false;
    tinygltf::TinyGLTF gltf;
    if (!gltf.WriteGltfSceneToFile(&model, path, false, false, true, binary)) {
        *error = "cannot write " + path;
        return false;
    }
    if (counts) {
        counts->nodes = static_cast<int>(model.nodes.size());
        counts->meshes = static_cast<int>(model.meshes.size());
        counts->images = static_cast<int>(model.images.size());
        counts->vertices = 0;
        for (const tinygltf::Accessor& accessor : model.accessors)
            if (!accessor.minValues.empty()) counts->vertices += static_cast<int>(accessor.count);
    }
    return true;
}

} // namespace kep
