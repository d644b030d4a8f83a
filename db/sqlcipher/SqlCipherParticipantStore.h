#pragma once

#include "db/ParticipantStore.h"
#include "db/sqlcipher/SqlCipherReads.h"

namespace quarn {

// The participants of an encrypted file.
class SqlCipherParticipantStore final : public ParticipantStore {
 public:
  explicit SqlCipherParticipantStore(const SqlCipherFile& file) : m_file(file), m_reads(file) {}

  std::optional<std::string> findParticipant(const std::string& subject) override;
  std::optional<int16_t> highestTrial(const std::string& subject,
                                      const std::string& setting) override;
  std::optional<int16_t> lowestTrial(const std::string& subject,
                                     const std::string& setting) override;
  bool trialRecorded(const std::string& subject, const std::string& setting,
                     int16_t trial) override;
  std::optional<int16_t> highestWeek(const std::string& subject, const std::string& setting,
                                     int16_t trial) override;
  std::unique_ptr<RowWriter<ParticipantRow>> openRegistration() override;
  std::optional<PlayingMark> markPlaying(const PlayingMark& mine, const MarkJudge& keeps) override;
  std::optional<PlayingMark> touchPlaying(const PlayingMark& mine) override;
  void clearPlaying(const PlayingMark& mine) override;

 private:
  const SqlCipherFile& m_file;
  SqlCipherReads m_reads;
};

}  // namespace quarn
