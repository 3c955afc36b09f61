#pragma once

#include "ScoreSet.h"

#include <kavvix/modKavvix.h>

// The score set properties that read and write their field unchanged in both parser classes,
// defined once. Each class defines its own DiveNumber getter and a storeJudgeScore(index,
// score) that the judge setters go through.
#define KAVVIX_PLAIN_SCORE_PROPERTY(Class, Type, Name)                                             \
    Type Class::Name() const {                                                                     \
        return m_scores->Name;                                                                     \
    }                                                                                              \
    void Class::set##Name(Type value) {                                                            \
        m_scores->Name = value;                                                                    \
    }

#define KAVVIX_PLAIN_TEXT_SCORE_PROPERTY(Class, Name)                                              \
    QString Class::Name() const {                                                                  \
        return m_scores->Name;                                                                     \
    }                                                                                              \
    void Class::set##Name(const QString &value) {                                                  \
        m_scores->Name = value;                                                                    \
    }

#define KAVVIX_JUDGE_SCORE_PROPERTY(Class, N)                                                      \
    float Class::Judge##N##Score() const {                                                         \
        return m_scores->JudgeScore[N - 1];                                                        \
    }                                                                                              \
    void Class::setJudge##N##Score(float value) {                                                  \
        storeJudgeScore(N - 1, value);                                                             \
    }

#define KAVVIX_SCORE_SET_PROPERTIES(Class)                                                         \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, bool, DataIsValid)                                          \
    KAVVIX_PLAIN_TEXT_SCORE_PROPERTY(Class, PrimaryDiver)                                          \
    KAVVIX_PLAIN_TEXT_SCORE_PROPERTY(Class, SynchroPartner)                                        \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, qint16, DiverNumber)                                        \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, qint16, CurrentRound)                                       \
    void Class::setDiveNumber(const QString &value) {                                              \
        m_scores->DiveNumber = value;                                                              \
    }                                                                                              \
    KAVVIX_PLAIN_TEXT_SCORE_PROPERTY(Class, DivePosition)                                          \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, float, DiveDD)                                              \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 1)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 2)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 3)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 4)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 5)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 6)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 7)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 8)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 9)                                                          \
    KAVVIX_JUDGE_SCORE_PROPERTY(Class, 10)                                                         \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, float, DiveTotal)                                           \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, float, StartingScore)                                       \
    KAVVIX_PLAIN_SCORE_PROPERTY(Class, float, CurrentTotal)                                        \
    QString Class::DLLVersion() const {                                                            \
        return modKavvix::DLLVersion();                                                            \
    }
