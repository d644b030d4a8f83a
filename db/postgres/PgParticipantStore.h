#pragma once

#include <optional>

#include "db/ParticipantStore.h"
#include "db/postgres/PgReads.h"

namespace quarn {

// The participants on a server.
class PgParticipantStore final : public ParticipantStore {
 public:
  explicit PgParticipantStore(PgConnectionPool& pool) : m_pool(pool), m_reads(pool) {}

  std::optional<std::string> findParticipant(const std::string& subject) override;
  std::optional<int16_t> highestTrial(const std::string& subject,
                                      const std::string& setting) override;
  std::optional<int16_t> lowestTrial(const std::string& subject,
                                     const std::string& setting) override;
  std::unique_ptr<RowWriter<ParticipantRow>> openRegistration() override;
  std::optional<PlayingMark> markPlaying(const PlayingMark& mine, const MarkJudge& keeps) override;
  std::optional<PlayingMark> touchPlaying(const PlayingMark& mine) override;
  void clearPlaying(const PlayingMark& mine) override;

 private:
  std::optional<PlayingMark> presentMark(PgConnection& db, const std::string& subject);

  PgConnectionPool& m_pool;
  PgReads m_reads;
};

}  // namespace quarn
