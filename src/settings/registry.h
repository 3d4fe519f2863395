// Registry: reads or writes one registry value per call (GetSetting / SaveSetting) and tells
// the outcome through isSuccess and the OnSuccess / OnFailure callbacks. Works on the
// registry files of common/registry_store.h. No Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace settings {

class Registry {
public:
    static constexpr uint32_t kString = 1;
    static constexpr uint32_t kBinary = 3;
    static constexpr uint32_t kNumber = 4;

    using Data = std::variant<std::string, std::vector<uint8_t>, uint32_t>;

    // Called when DeleteValue, DeleteKey, CreateKey, SaveSetting or GetSetting ends.
    std::function<void()> OnSuccess;
    std::function<void()> OnFailure;

    uint32_t hKey() const { return m_root; }
    void SethKey(uint32_t root) { m_root = root; }
    uint32_t DataType() const { return m_dataType; }
    void SetDataType(uint32_t type) { m_dataType = type; }
    const std::string& SubKey() const { return m_subKey; }
    void SetSubKey(std::string key) { m_subKey = std::move(key); }
    const std::string& ValueName() const { return m_valueName; }
    void SetValueName(std::string name) { m_valueName = std::move(name); }
    const Data& GetData() const { return m_data; }
    void SetData(Data data) { m_data = std::move(data); }

    // True when the last operation succeeded; reading it spends the answer, so a second read
    // without another operation answers false.
    bool isSuccess();

    void DeleteValue();
    // Deletes SubKey, which must have no keys below it.
    void DeleteKey();
    void CreateKey();
    // Writes Data as DataType: a string as text, binary data as bytes, a number as 32 bits.
    void SaveSetting();
    // Reads ValueName; DataType becomes the value's own type and Data its content.
    void GetSetting();

private:
    void Finish(long result);

    uint32_t m_root = 0x80000001u;
    uint32_t m_dataType = kString;
    std::string m_subKey;
    std::string m_valueName;
    Data m_data;
    long m_result = -1;
};

}  // namespace settings
